#include "app/OpmlTransfer.h"

#include <cstring>
#include <memory>

#include "app/ProgramLog.h"
#include "contracts/RSS.h"

namespace quillbox::app {
namespace {

// The feed list as the library keeps it, freed when it goes.
struct StoredList {
    TRSSList list{};
    StoredList() { std::memset(static_cast<void*>(&list), 0, sizeof list); }
    StoredList(const StoredList&) = delete;
    StoredList& operator=(const StoredList&) = delete;
    ~StoredList() { DeleteRSSList(&list); }
};

OpmlOutcome logged(OpmlOutcome outcome) {
    if (outcome.ok) {
        logInfo(outcome.text.toStdString());
    } else {
        logWarning(outcome.text.toStdString());
    }
    return outcome;
}

}  // namespace

OpmlOutcome opmlImportOutcome(std::uint8_t result, const TOPMLReport& report, const QString& file) {
    if (result == kRssNotAFeed) {
        return logged(
            {false, QStringLiteral("%1 is not an OPML file; no feed was added.").arg(file)});
    }
    if (result != kRssOk) {
        return logged(
            {false, QStringLiteral("%1 could not be read; no feed was added.").arg(file)});
    }
    QString text = QStringLiteral("Imported from %1: %2 added").arg(file).arg(report.Added);
    const std::pair<int, const char*> parts[] = {
        {report.AlreadyListed, "already in the list"},
        {report.TooLong, "too long"},
        {report.NotRepresentable, "with characters that cannot be stored"},
        {report.BeyondLimit, "left out: the list holds 1000 feeds"},
    };
    for (const auto& [count, what] : parts) {
        if (count > 0) {
            text += QStringLiteral(", %1 %2").arg(count).arg(QLatin1String(what));
        }
    }
    return logged({true, text + QLatin1Char('.')});
}

OpmlOutcome opmlExportOutcome(std::uint8_t result, int feeds, const QString& file) {
    if (result != kRssOk) {
        return logged({false, QStringLiteral("%1 could not be written.").arg(file)});
    }
    return logged({true, QStringLiteral("%1 feed(s) exported to %2.").arg(feeds).arg(file)});
}

OpmlOutcome importOpmlIntoStoredList(const std::string& dataFolder, const QString& file) {
    StoredList stored;
    const std::string folder = dataFolder + "RSS/";
    if (LoadRSSListFromFile(folder.c_str(), "RSS.list", &stored.list, 1, 0) != kRssOk) {
        // Saving over a list that did not load whole would lose feeds.
        return logged({false, QStringLiteral("The feed list in %1 could not be read; nothing "
                                             "was imported.")
                                  .arg(QString::fromStdString(folder))});
    }
    TOPMLReport report{};
    const std::uint8_t result =
        ImportOPMLToRSSList(file.toStdString().c_str(), &stored.list, &report);
    if (result == kRssOk && report.Added > 0 &&
        SaveRSSListToFile((folder + "RSS.list").c_str(), &stored.list, 0) != kRssOk) {
        return logged({false, QStringLiteral("The feed list in %1 could not be saved; nothing "
                                             "was imported.")
                                  .arg(QString::fromStdString(folder))});
    }
    return opmlImportOutcome(result, report, file);
}

OpmlOutcome exportStoredListToOpml(const std::string& dataFolder, const QString& file) {
    StoredList stored;
    const std::string folder = dataFolder + "RSS/";
    if (LoadRSSListFromFile(folder.c_str(), "RSS.list", &stored.list, 1, 0) != kRssOk) {
        return logged({false, QStringLiteral("The feed list in %1 could not be read.")
                                  .arg(QString::fromStdString(folder))});
    }
    return opmlExportOutcome(ExportRSSListToOPML(&stored.list, file.toStdString().c_str()),
                             stored.list.Count, file);
}

}  // namespace quillbox::app
