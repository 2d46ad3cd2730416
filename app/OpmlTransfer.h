#pragma once
// Moving the feed list in and out as OPML: the texts that report an import or
// an export, and the command-line form that works on the stored list without a
// window (when no Quillbox runs for that data folder).

#include <QString>
#include <cstdint>
#include <string>

#include "common/RSSTypes.h"

namespace quillbox::app {

struct OpmlOutcome {
    bool ok = false;
    QString text;  // one line for the user and the log
};

// What an import did: "Imported from FILE: 12 added, 3 already in the list,
// ...", or why nothing was.
OpmlOutcome opmlImportOutcome(std::uint8_t result, const TOPMLReport& report, const QString& file);
OpmlOutcome opmlExportOutcome(std::uint8_t result, int feeds, const QString& file);

// The stored feed list of dataFolder (RSS/RSS.list): file imported into it and
// the list saved, or the list exported to file.
OpmlOutcome importOpmlIntoStoredList(const std::string& dataFolder, const QString& file);
OpmlOutcome exportStoredListToOpml(const std::string& dataFolder, const QString& file);

}  // namespace quillbox::app
