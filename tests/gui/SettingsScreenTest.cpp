// The settings screen: period choosers that wrap and survive the update
// timer, the language arrows over used slots, saving every setting so that it
// survives a restart, refusing what cannot be stored without losing input or
// the account, and the way back after opening from the bookshelf icon.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "contracts/Hostkit.h"
#include "platform/Autostart.h"
#include "tests/gui/BookWindowFixture.h"

namespace quillbox::test {
namespace {

using app::TForm1;
namespace fs = std::filesystem;

class SettingsScreenTest : public BookWindowTest {
  protected:
    static QLineEdit* edit(TForm1& window, const char* name) {
        return qobject_cast<QLineEdit*>(window.control(name));
    }
    static QCheckBox* box(TForm1& window, const char* name) {
        return qobject_cast<QCheckBox*>(window.control(name));
    }
    static QString text(TForm1& window, const char* name) { return window.label(name)->text(); }
    static void save(TForm1& window) { press(window, "SPSelectImg", "SPSaveImg"); }
    static void cancel(TForm1& window) { press(window, "SPSelectImg", "SPCancelImg"); }
    static TSystemInfo storedInfo() {
        TSystemInfo info{};
        LoadSystemInfo(&info);
        return info;
    }
    static TUserData storedAccount() {
        TUserData data{};
        LoadUserData(&data);
        return data;
    }
    // A Language folder holding these modules of the test build.
    std::string languages(const std::vector<std::string>& modules) {
        const std::string folder = m_folders.file("Language/");
        fs::create_directories(folder);
        for (const std::string& module : modules) {
            fs::copy_file(module, folder + fs::path(module).filename().string());
        }
        return folder;
    }
    TempDir m_folders;
};

TEST_F(SettingsScreenTest, PeriodsWrapSurviveTheTimerAndCancelDropsThem) {
    TSystemInfo info = storedInfo();
    info.AutoUpdateRSS = true;
    info.AutoUpdateBookShelfs = true;
    info.RSSUpdatePeriod = 1;
    info.BookShelfUpdatePeriod = 3;
    ASSERT_TRUE(SaveSystemInfo(info));
    TForm1& window = toMenu();
    window.openSettings(1);
    EXPECT_EQ(text(window, "SPUpdateRSSL"), QStringLiteral("Every hour"));
    window.SPUpdateRSSLeftImgClick();
    EXPECT_EQ(text(window, "SPUpdateRSSL"), QStringLiteral("Once a day"));
    window.SPUpdateBSRightImgClick();
    EXPECT_EQ(text(window, "SPUpdateBSL"), QStringLiteral("Every 6 hours"));
    advance(30057);  // the update timer reloads the stored settings
    EXPECT_EQ(window.SettingsRSSPeriod, 6);
    cancel(window);
    EXPECT_EQ(storedInfo().RSSUpdatePeriod, 1);
    window.openSettings(1);
    EXPECT_EQ(text(window, "SPUpdateRSSL"), QStringLiteral("Every hour"));
    EXPECT_EQ(text(window, "SPUpdateBSL"), QStringLiteral("Once a day"));

    window.SPUpdateRSSRightImgClick();
    advance(30057);
    save(window);
    EXPECT_EQ(storedInfo().RSSUpdatePeriod, 2);
    EXPECT_EQ(storedInfo().BookShelfUpdatePeriod, 3);

    // Unticking hides a chooser's arrows.
    window.openSettings(1);
    box(window, "SPUpdateRSSCB")->click();
    EXPECT_TRUE(window.control("SPUpdateRSSLeftImg")->isHidden());
    EXPECT_FALSE(window.control("SPUpdateRSSL")->isEnabled());
}

TEST_F(SettingsScreenTest, LanguageArrowsWrapOverTheUsedSlots) {
    const std::string fakes = QUILLBOX_FAKE_LANGUAGE_DIR;
    TSystemInfo info = storedInfo();
    info.Language = 5;
    ASSERT_TRUE(SaveSystemInfo(info));
    TForm1& window =
        start({}, 1.0,
              languages({fakes + "fake_two.so", fakes + "fake_five.so", fakes + "fake_nine.so"}));
    advance(100);
    advance(2100);
    ASSERT_EQ(window.ChosenLanguage, 5);
    window.openSettings(1);
    window.SPLangLeftImgClick();
    EXPECT_EQ(window.ChosenLanguage, 2);
    EXPECT_EQ(text(window, "SPLangL"), QStringLiteral("fake_two"));
    window.SPLangLeftImgClick();
    EXPECT_EQ(window.ChosenLanguage, 9);
    window.SPLangRightImgClick();
    EXPECT_EQ(window.ChosenLanguage, 2);
    cancel(window);
    EXPECT_EQ(window.ChosenLanguage, 5);
    EXPECT_EQ(text(window, "SPLangL"), QStringLiteral("fake_five"));

    // No language saved yet: cancelling keeps the one loaded.
    info.Language = -1;
    ASSERT_TRUE(SaveSystemInfo(info));
    window.openSettings(1);
    window.SPLangRightImgClick();
    cancel(window);
    EXPECT_EQ(window.ChosenLanguage, 9);
}

TEST_F(SettingsScreenTest, OneLanguageOnlyLeavesTheArrowsWithoutEffect) {
    TForm1& window =
        start({}, 1.0, languages({std::string(QUILLBOX_LANGUAGE_DIR) + "/english.so"}));
    advance(100);
    advance(2100);
    const int loaded = window.ChosenLanguage;
    window.openSettings(1);
    window.SPLangLeftImgClick();
    window.SPLangRightImgClick();
    EXPECT_EQ(window.ChosenLanguage, loaded);
}

TEST_F(SettingsScreenTest, EverySettingIsSavedAndSurvivesARestart) {
    TForm1& first = toMenu();
    first.openSettings(1);
    box(first, "SPUpdateRSSCB")->click();
    box(first, "SPPictureCB")->setChecked(true);
    box(first, "SPStartupCB")->setChecked(true);
    edit(first, "SPLoginE")->setText(QStringLiteral("reader"));
    edit(first, "SPPasswordE")->setText(QStringLiteral("Secret7"));
    box(first, "SPUseProxyCB")->click();
    edit(first, "SPProxyHostE")->setText(QStringLiteral("127.0.0.1"));
    edit(first, "SPProxyPortE")->setText(QStringLiteral("eighty"));
    box(first, "SPUseProxyCB")->click();  // unticked again: the texts stay
    EXPECT_FALSE(edit(first, "SPProxyHostE")->isEnabled());
    first.SPLangRightImgClick();  // Russian
    saveScreenshot(first, "settings-ru");
    save(first);
    EXPECT_EQ(first.CurrentPanel, first.control("MenuPanel"));
    EXPECT_TRUE(edit(first, "SPLoginE")->text().isEmpty());
    EXPECT_TRUE(fileExists(platform::autostartEntryPath()));
    const TUserData account = storedAccount();
    EXPECT_EQ(account.ProxyHost.text(), "127.0.0.1");
    EXPECT_EQ(account.ProxyPort, 0);
    EXPECT_FALSE(account.UseProxy);

    TForm1& again = start();
    advance(100);
    advance(2100);
    EXPECT_EQ(again.label("SPHeaderL")->text(), QStringLiteral("Настройки"));
    again.openSettings(1);
    EXPECT_TRUE(box(again, "SPUpdateRSSCB")->isChecked());
    EXPECT_TRUE(box(again, "SPPictureCB")->isChecked());
    EXPECT_EQ(edit(again, "SPLoginE")->text(), QStringLiteral("reader"));
    EXPECT_EQ(edit(again, "SPProxyPortE")->text(), QStringLiteral("0"));
    box(again, "SPStartupCB")->setChecked(false);
    again.SPLangLeftImgClick();  // English
    saveScreenshot(again, "settings-en");
    edit(again, "SPProxyPortE")->setText(QStringLiteral("70000"));
    save(again);
    EXPECT_FALSE(fileExists(platform::autostartEntryPath()));
    EXPECT_EQ(storedAccount().ProxyPort, 0);
    EXPECT_EQ(storedInfo().Language, 1);
}

TEST_F(SettingsScreenTest, WhatCannotBeStoredIsRefusedAndNothingIsLost) {
    signIn("reader", "Secret7");
    TForm1& window = toMenu();
    window.openSettings(1);
    for (const QString& login : {QStringLiteral("日本"), QString(256, QLatin1Char('a'))}) {
        edit(window, "SPLoginE")->setText(login);
        save(window);
        EXPECT_EQ(window.CurrentPanel, window.control("SettingPanel"));
        EXPECT_EQ(edit(window, "SPLoginE")->text(), login);
        EXPECT_EQ(storedAccount().Login.text(), "reader");
    }
    // Settings that cannot be written: a message, the screen and its input stay.
    const std::string settings = m_settings.file("quillbox/settings.ini");
    fs::remove(settings);
    fs::create_directories(settings + "/blocked");
    edit(window, "SPLoginE")->setText(QStringLiteral("another"));
    save(window);
    EXPECT_EQ(window.CurrentPanel, window.control("SettingPanel"));
    EXPECT_EQ(edit(window, "SPLoginE")->text(), QStringLiteral("another"));
    EXPECT_EQ(storedAccount().Login.text(), "reader");
}

TEST_F(SettingsScreenTest, AnUnreadableAccountStaysUnlessTheUserTypesANewOne) {
    const std::string account = m_settings.file("quillbox/account.ini");
    fs::create_directories(account);  // there, but no file that can be read
    TForm1& window = toMenu();
    window.openSettings(1);
    EXPECT_TRUE(edit(window, "SPLoginE")->text().isEmpty());
    save(window);
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
    EXPECT_TRUE(fs::is_directory(account));

    window.openSettings(1);
    edit(window, "SPLoginE")->setText(QStringLiteral("reader"));
    save(window);  // the directory is in the way: said, and the input kept
    EXPECT_EQ(window.CurrentPanel, window.control("SettingPanel"));
    EXPECT_EQ(edit(window, "SPLoginE")->text(), QStringLiteral("reader"));
}

TEST_F(SettingsScreenTest, FromTheBookshelfIconSaveLeadsToTheShelvesAndCancelToTheMenu) {
    TForm1& window = toMenu();
    press(window, "MPSelectImg", "MPBookShelfImg");
    ASSERT_EQ(window.CurrentPanel, window.control("SettingPanel"));
    cancel(window);
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));

    press(window, "MPSelectImg", "MPBookShelfImg");
    edit(window, "SPLoginE")->setText(QStringLiteral("reader"));
    edit(window, "SPPasswordE")->setText(QStringLiteral("Secret7"));
    EXPECT_EQ(edit(window, "SPPasswordE")->echoMode(), QLineEdit::Password);
    // The keyboard's order over the screen.
    QStringList order{QStringLiteral("SPUpdateRSSCB")};
    for (QWidget* next = window.control("SPUpdateRSSCB")->nextInFocusChain();
         order.size() < 11 && next != nullptr; next = next->nextInFocusChain()) {
        if (next->objectName().startsWith(QStringLiteral("SP")) &&
            next->focusPolicy() != Qt::NoFocus) {
            order << next->objectName();
        }
    }
    EXPECT_EQ(order.join(QLatin1Char(' ')),
              QStringLiteral("SPUpdateRSSCB SPUpdateBSCB SPStartupCB SPLoginE SPPasswordE "
                             "SPUseProxyCB SPProxyHostE SPProxyPortE SPProxyLoginE "
                             "SPProxyPasswordE SPPictureCB"));
    save(window);
    EXPECT_EQ(window.CurrentPanel, window.control("BookShelfPanel"));
    EXPECT_EQ(window.Library->ShelfCount, 3);  // the library taken with the new account
    EXPECT_EQ(window.label("BSPPagesL")->text(), QStringLiteral("1-3 of 3"));
}

}  // namespace
}  // namespace quillbox::test
