// Feeds brought in and out as OPML while the window runs: a file dropped on
// the news screen, and the requests a second start hands over (command line).
// The list is saved as soon as an import added to it, so the stored list and
// the one on the screen never differ.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/Form.h"
#include "app/OpmlTransfer.h"
#include "app/ProgramLog.h"
#include "contracts/RSS.h"

namespace quillbox::app {
namespace {

// The local OPML files (.opml or .xml) among the dropped addresses.
QStringList opmlFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (!path.isEmpty() &&
            (suffix == QStringLiteral("opml") || suffix == QStringLiteral("xml"))) {
            files << path;
        }
    }
    return files;
}

}  // namespace

OpmlOutcome TForm1::importOpml(const QString& file) {
    TOPMLReport report{};
    const std::uint8_t result =
        ImportOPMLToRSSList(file.toStdString().c_str(), RSSList.get(), &report);
    if (result == kRssOk && report.Added > 0 &&
        SaveRSSListToFile((m_dataFolder + "RSS/RSS.list").c_str(), RSSList.get(), 0) != kRssOk) {
        logError("the feed list could not be saved after an import");
    }
    clampRSSPage();
    redrawRSSList();
    return opmlImportOutcome(result, report, file);
}

OpmlOutcome TForm1::exportOpml(const QString& file) {
    return opmlExportOutcome(ExportRSSListToOPML(RSSList.get(), file.toStdString().c_str()),
                             RSSList->Count, file);
}

QString TForm1::instanceMessage(const QString& line) {
    if (line == QStringLiteral("show")) {
        logInfo("brought to the front by a second start");
        bringToFront();
        return QStringLiteral("ok");
    }
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const QString command = line.left(space);
    const QString file = space > 0 ? line.mid(space + 1) : QString();
    if ((command == QStringLiteral("import-opml") || command == QStringLiteral("export-opml")) &&
        !file.isEmpty()) {
        if (operationRunning() || !isEnabled()) {
            return QStringLiteral(
                "failed Quillbox is busy (an update or a copy runs); try "
                "again in a moment.");
        }
        const OpmlOutcome outcome =
            command == QStringLiteral("import-opml") ? importOpml(file) : exportOpml(file);
        return (outcome.ok ? QStringLiteral("ok ") : QStringLiteral("failed ")) + outcome.text;
    }
    return QStringLiteral("ok");  // "auto" and anything unknown: nothing to do
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (CurrentPanel == control("RSSPanel") && isEnabled() &&
        !opmlFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList files = opmlFiles(event->mimeData());
    if (CurrentPanel != control("RSSPanel") || !isEnabled() || files.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    QStringList texts;
    for (const QString& file : files) {
        texts << importOpml(file).text;
    }
    showMessage(texts.join(QLatin1Char(' ')));
}

}  // namespace quillbox::app
