// Updating every feed, the stored times of the last updates and the menu's
// two lines that show them, and the news screen's page line.

#include <QLabel>
#include <cstring>

#include "app/Form.h"
#include "app/ListRows.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"

namespace quillbox::app {
namespace {

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// "09:05 06.12.2026" after the lead text, or "- " when never.
QString updateLine(const QString& lead, const TStamp& when) {
    if (when.Year == 0) {
        return lead + QStringLiteral("- ");
    }
    return lead + twoDigits(when.Hour) + QLatin1Char(':') + twoDigits(when.Minute) +
           QLatin1Char(' ') + twoDigits(when.Day) + QLatin1Char('.') + twoDigits(when.Month) +
           QLatin1Char('.') + QString::number(when.Year);
}

TStamp stampOf(const TClock& clock) {
    return TStamp{clock.Year, clock.Month, clock.Day, clock.Hour, clock.Minute};
}

}  // namespace

void TForm1::UpdateAllRSS() {
    const bool copying = CopyTimer.enabled();
    CopyTimer.setEnabled(false);
    std::uint8_t result = kRssOk;
    std::memset(&UserData, 0, sizeof UserData);
    LoadUserData(&UserData);
    UserData.Pictures = SystemInfo.Pictures;
    const std::string folder = m_dataFolder + "RSS/";
    for (int i = 0; i < RSSList->Count && result != kRssHostUnreachable; ++i) {
        result = LoadRSSNewsFromURL(RSSList->Items[i], folder.c_str(), &UserData,
                                    m_application.get(), &m_application->browser(), 0);
    }
    logInfo("feeds updated: " + std::to_string(RSSList->Count) + " feed(s), result " +
            std::to_string(result));
    if (result == kRssOk) {
        SaveUpdateRSSDate();
        setFieldText(ErrorText, Languages.LanguageStrings[39]);
    } else {
        setFieldText(ErrorText, Languages.LanguageStrings[44]);
    }
    ShowError();
    ViewUpdateData();
    CopyTimer.setEnabled(copying);
}

void TForm1::SaveUpdateRSSDate() {
    SystemInfo.LastRSSUpdate = stampOf(Clock);
    SaveSystemInfo(SystemInfo);
}

void TForm1::SaveUpdateBookShelfDate() {
    SystemInfo.LastBookShelfUpdate = stampOf(Clock);
    SaveSystemInfo(SystemInfo);
}

void TForm1::ViewUpdateData() {
    LoadSystemInfo(&SystemInfo);
    if (QLabel* news = label("MPUpdateRSSL")) {
        news->setText(updateLine(languageString(7), SystemInfo.LastRSSUpdate));
    }
    if (QLabel* shelves = label("MPUpdateBSL")) {
        shelves->setText(updateLine(languageString(8), SystemInfo.LastBookShelfUpdate));
    }
}

void TForm1::RSSInfoBar() {
    showPageLine(control("RSSPagesL"), control("RSSLeftImg"), control("RSSRightImg"), RSSPage,
                 RSSList->Count, languageString(1));
}

}  // namespace quillbox::app
