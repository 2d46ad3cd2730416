// The main menu and navigation: dispatch by the frame's place, the hidden
// frame, the update item, the help pages, dragging the device, the tray and
// the two ways of leaving.

#include <gtest/gtest.h>

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTest>
#include <QUrl>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/TimerService.h"
#include "common/FixedText.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/StoreServer.h"

namespace quillbox::test {

// Takes the addresses the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

namespace {

using app::TForm1;

// Hovers the menu icon, then clicks the frame that came over it.
void chooseMenuItem(TForm1& window, const char* icon) {
    window.hoverButton("MPSelectImg", window.control(icon));
    clickAt(window, window.control("MPSelectImg"));
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void saveAccount(const char* login, const char* password) {
    TUserData user{};
    LoadUserData(&user);
    user.Login.assign(login);
    user.Password.assign(password);
    ASSERT_TRUE(SaveUserData(user));
}

using MenuTest = WindowTest;

}  // namespace

TEST_F(MenuTest, EachItemIsChosenByThePlaceOfTheFrame) {
    struct Case {
        const char* icon;
        const char* screen;
    };
    TForm1& window = toMenu();
    saveScreenshot(window, "6-menu");
    for (const Case& c : {Case{"MPRSSImg", "RSSPanel"}, Case{"MPBalanceImg", "MoneyPanel"},
                          Case{"MPSettingImg", "SettingPanel"}, Case{"MPAboutImg", "AboutPanel"}}) {
        window.SetScreenPanel(window.control("MenuPanel"));
        chooseMenuItem(window, c.icon);
        EXPECT_EQ(window.CurrentPanel, window.control(c.screen)) << c.icon;
    }
    EXPECT_EQ(window.SettingsFromMenu, 1);
    EXPECT_EQ(window.label("Label23")->text(), QStringLiteral("Balance: "));

    // The store's site opens with the desktop's handler.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    window.SetScreenPanel(window.control("MenuPanel"));
    chooseMenuItem(window, "MPTomeportImg");
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].toString().toStdString(), "http://store.tomeport.example/");
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
}

TEST_F(MenuTest, EveryScreenLeadsBack) {
    struct Case {
        const char* screen;
        const char* frame;
        const char* button;
        const char* backTo;
    };
    saveAccount("reader", "Secret7");
    TForm1& window = toMenu();
    for (const Case& c : {Case{"RSSPanel", "RSSSelectImg", "RSSMenuImg", "MenuPanel"},
                          Case{"BookShelfPanel", "BSPSelectImg", "BSPMenuImg", "MenuPanel"},
                          Case{"BookPanel", "BPSelectImg", "BPMenuImg", "BookShelfPanel"},
                          Case{"SettingPanel", "SPSelectImg", "SPCancelImg", "MenuPanel"},
                          Case{"MoneyPanel", "MnPSelectImg", "MnPMenuImg", "MenuPanel"}}) {
        if (std::string(c.screen) == "SettingPanel") {
            window.openSettings(1);
            EXPECT_EQ(qobject_cast<QLineEdit*>(window.control("SPLoginE"))->text(),
                      QStringLiteral("reader"));
        } else {
            window.SetScreenPanel(window.control(c.screen));
        }
        window.hoverButton(c.frame, window.control(c.button));
        clickAt(window, window.control(c.frame));
        EXPECT_EQ(window.CurrentPanel, window.control(c.backTo)) << c.screen;
    }
    // Cancelling the settings leaves no account text on the screen.
    EXPECT_TRUE(qobject_cast<QLineEdit*>(window.control("SPLoginE"))->text().isEmpty());
}

TEST_F(MenuTest, ThePointerOverAButtonShowsItsFrameAndOffItHidesIt) {
    TForm1& window = toMenu();
    window.show();
    QWidget* icon = window.control("MPBookShelfImg");
    QTest::mouseMove(&window, icon->mapTo(&window, icon->rect().center()));
    EXPECT_TRUE(window.control("MPSelectImg")->isVisible());
    EXPECT_EQ(window.control("MPSelectImg")->pos(), icon->pos());
    QTest::mouseMove(&window, window.control("MPUpdateRSSL")->mapTo(&window, QPoint(2, 2)));
    EXPECT_FALSE(window.control("MPSelectImg")->isVisible());
}

TEST_F(MenuTest, AHiddenFrameTakesNoClick) {
    TForm1& window = toMenu();
    window.hoverButton("MPSelectImg", window.control("MPAboutImg"));
    window.QuillboxImageMouseMove();  // the pointer left the icons
    EXPECT_FALSE(window.control("MPSelectImg")->isVisible());
    clickAt(window, window.control("MPAboutImg"));
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
}

TEST_F(MenuTest, BookshelvesWithoutAFullAccountOpenTheSettings) {
    saveAccount("reader", "");
    TForm1& window = toMenu();
    chooseMenuItem(window, "MPBookShelfImg");
    EXPECT_EQ(window.CurrentPanel, window.control("SettingPanel"));
    EXPECT_EQ(window.SettingsFromMenu, 0);

    saveAccount("reader", "Secret7");
    window.SetScreenPanel(window.control("MenuPanel"));
    chooseMenuItem(window, "MPBookShelfImg");
    EXPECT_EQ(window.CurrentPanel, window.control("BookShelfPanel"));
}

TEST_F(MenuTest, UpdateWithoutALoginRefreshesOnlyTheFeeds) {
    TForm1& window = toMenu();
    chooseMenuItem(window, "MPUpdateImg");
    EXPECT_TRUE(window.isEnabled());
    TSystemInfo info{};
    LoadSystemInfo(&info);
    EXPECT_EQ(info.LastRSSUpdate.Year, window.Clock.Year);  // an empty list updates fine
    // The clock may have passed a full minute while the message was up.
    EXPECT_LE((window.Clock.Minute - info.LastRSSUpdate.Minute + 60) % 60, 1);
    EXPECT_EQ(info.LastBookShelfUpdate.Year, 0);
    EXPECT_TRUE(window.label("MPUpdateRSSL")->text().startsWith(window.languageString(7)));
    EXPECT_FALSE(window.label("MPUpdateRSSL")->text().endsWith(QStringLiteral("- ")));
    EXPECT_TRUE(window.label("MPUpdateBSL")->text().endsWith(QStringLiteral("- ")));
}

TEST_F(MenuTest, HelpHasTwoPagesAndLeadsBackToTheMenu) {
    TForm1& window = toMenu();
    chooseMenuItem(window, "MPAboutImg");
    EXPECT_TRUE(window.control("APHelpL1")->isVisible());
    EXPECT_EQ(window.control("APHelpL2")->y(), window.control("APHelpL1")->geometry().bottom() + 1);
    EXPECT_FALSE(window.control("APLeftImg")->isVisible());
    saveScreenshot(window, "7-help-page-1");
    clickAt(window, window.control("APRightImg"));
    EXPECT_FALSE(window.control("APHelpL1")->isVisible());
    EXPECT_TRUE(window.control("APHelpL3")->isVisible());
    EXPECT_EQ(window.label("QuillboxL")->text(), QStringLiteral("Quillbox v 2.3"));
    EXPECT_EQ(window.label("TomeportSiteL")->text(),
              QStringLiteral("http://store.tomeport.example/"));
    saveScreenshot(window, "8-help-page-2");
    clickAt(window, window.control("APLeftImg"));
    EXPECT_TRUE(window.control("APHelpL1")->isVisible());
    window.hoverButton("APSelectImg", window.control("APMenuImg"));
    clickAt(window, window.control("APSelectImg"));
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));

    // The same pages in Russian.
    TSystemInfo info{};
    LoadSystemInfo(&info);
    info.Language = 2;
    ASSERT_TRUE(SaveSystemInfo(info));
    TForm1& russian = toMenu();
    chooseMenuItem(russian, "MPAboutImg");
    EXPECT_EQ(russian.label("APHeaderL")->text(), QString::fromUtf8("Справка"));
    saveScreenshot(russian, "9-help-page-1-ru");
    clickAt(russian, russian.control("APRightImg"));
    saveScreenshot(russian, "10-help-page-2-ru");
}

TEST_F(MenuTest, DraggingMovesTheDeviceAndItsScreenButNotDuringAFade) {
    TForm1& window = toMenu();
    QWidget* device = window.control("QuillboxImage");
    QWidget* menu = window.control("MenuPanel");
    const QPoint deviceAt = device->pos();
    const QPoint menuAt = menu->pos();
    window.QuillboxImageMouseDown({10, 10});
    EXPECT_FALSE(menu->isVisible());
    window.QuillboxImageMouseMoveWhileDown({60, 40});
    window.QuillboxImageMouseUp();
    EXPECT_EQ(device->pos(), deviceAt + QPoint(50, 30));
    EXPECT_EQ(menu->pos(), menuAt + QPoint(50, 30));
    EXPECT_EQ(window.ImageLeft, device->x());
    EXPECT_TRUE(menu->isVisible());

    window.ColorTimer.setEnabled(true);  // a fade runs
    window.QuillboxImageMouseDown({10, 10});
    EXPECT_FALSE(window.DragActive);
    window.ColorTimer.setEnabled(false);
    // A release during a fade still ends a drag.
    window.QuillboxImageMouseDown({10, 10});
    window.ColorTimer.setEnabled(true);
    window.QuillboxImageMouseUp();
    EXPECT_FALSE(window.DragActive);
    window.ColorTimer.setEnabled(false);
}

TEST_F(MenuTest, TrayHidesAndShowsTheWindowAndWaitsWhileItIsBusy) {
    m_trayAvailable = true;
    TForm1& window = toMenu();
    EXPECT_FALSE(window.N1->isEnabled());
    EXPECT_EQ(window.N2->text(), window.languageString(49));
    chooseMenuItem(window, "MPMinimizeImg");
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.N1->isEnabled());
    EXPECT_FALSE(window.N3->isEnabled());

    window.ColorTimer.setEnabled(true);  // busy: the show waits
    window.N1->trigger();
    EXPECT_FALSE(window.StartMenuTimer.enabled());
    window.ColorTimer.setEnabled(false);

    window.N1->trigger();
    EXPECT_FALSE(window.N1->isEnabled());
    EXPECT_TRUE(window.N3->isEnabled());
    advance(1000);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
    EXPECT_TRUE(window.Restored);

    // A double click while shown shows the menu again through the timer.
    window.SetScreenPanel(window.control("AboutPanel"));
    window.trayActivated(QSystemTrayIcon::DoubleClick);
    advance(1000);
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
}

TEST_F(MenuTest, WithoutANotificationAreaHidingMinimisesAndSaysSo) {
    m_trayAvailable = false;
    TForm1& window = toMenu();
    chooseMenuItem(window, "MPMinimizeImg");
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(window.label("Label29")->text().contains(QStringLiteral("minimised")));
}

TEST_F(MenuTest, ExitAndTheTrayCloseWriteTheListsOnce) {
    for (const bool byTray : {false, true}) {
        TForm1& window = toMenu();
        TRSSItem entry{};
        setFieldText(entry.URL, std::string("http://127.0.0.1:9/feed.xml"));
        ASSERT_EQ(AddToRSSList(1, &entry, window.RSSList.get()), kRssOk);
        if (byTray) {
            window.N2->trigger();
            EXPECT_EQ(window.RSSList->Count, 0);  // freed after the save
        } else {
            chooseMenuItem(window, "MPExitImg");
        }
        EXPECT_FALSE(window.isVisible()) << byTray;
        EXPECT_EQ(window.exitSaves(), 1) << byTray;
        EXPECT_NE(fileText(m_data.path() + "RSS/RSS.list").find("127.0.0.1:9/feed.xml"),
                  std::string::npos)
            << byTray;
        EXPECT_TRUE(std::filesystem::exists(m_data.path() + "BookLibrary")) << byTray;
        m_window.reset();  // the destructor saves nothing more over the file
        EXPECT_NE(fileText(m_data.path() + "RSS/RSS.list").find("127.0.0.1:9/feed.xml"),
                  std::string::npos)
            << byTray;
    }
}

TEST_F(MenuTest, TheTrayCloseDuringAnOperationLeavesOnlyOnceItHasReturned) {
    StoreServer store({"--rule", "account:delay=20000"});
    ASSERT_TRUE(store.running()) << store.error();
    const EnvGuard storeUrl("QUILLBOX_STORE_URL", store.baseUrl());
    m_trayAvailable = true;
    TForm1& window = toMenu();
    TRSSItem entry{};
    setFieldText(entry.URL, std::string("http://127.0.0.1:9/feed.xml"));
    ASSERT_EQ(AddToRSSList(1, &entry, window.RSSList.get()), kRssOk);
    int feedsDuring = -1;
    app::WindowTimer trigger(300, true, [&] {
        trigger.setEnabled(false);
        window.N2->trigger();
        feedsDuring = window.RSSList->Count;  // not freed under the running operation
    });
    window.runOperation([&] {
        TUserData user{};
        user.Login.assign("reader");
        user.Password.assign("Secret7");
        LoadBookLibraryFromURL(window.Library.get(), window.Money.get(), user, false);
    });
    EXPECT_EQ(feedsDuring, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.exitSaves(), 1);
    EXPECT_NE(fileText(m_data.path() + "RSS/RSS.list").find("127.0.0.1:9/feed.xml"),
              std::string::npos);
}

}  // namespace quillbox::test

#include "MenuTest.moc"
