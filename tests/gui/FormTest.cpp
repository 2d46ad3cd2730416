// The window in virtual time on the offscreen platform: the start-up states,
// placement at two scales, the fade, the overlays and a library wait that
// keeps the timers ticking. Screenshots of what the user sees go to
// <build>/gui-screenshots/.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/QtHost.h"
#include "app/TimerService.h"
#include "common/FixedText.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using app::TForm1;
using app::TimerService;
using std::chrono::milliseconds;

using FormTest = WindowTest;

}  // namespace

TEST_F(FormTest, StartsOnTheSplashAndReachesTheMenuInTheChosenLanguage) {
    TForm1& window = start();
    EXPECT_EQ(window.CurrentPanel, nullptr);
    advance(100);
    EXPECT_EQ(window.CurrentPanel, window.control("TomeportPanel"));
    EXPECT_TRUE(window.isVisible());
    saveScreenshot(window, "1-splash");
    advance(1000);  // the first tick only arms the timer
    EXPECT_EQ(window.CurrentPanel, window.control("TomeportPanel"));
    advance(1000);
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
    EXPECT_FALSE(window.StartMenuTimer.enabled());
    EXPECT_TRUE(window.TimeTimer.enabled());
    EXPECT_GT(window.Clock.Year, 2000);
    // The next clock tick falls on the full minute.
    EXPECT_EQ(window.TimeTimer.interval(), (60 - window.Clock.Second) * 1000);
    EXPECT_EQ(window.ChosenLanguage, 1);  // no stored choice: the first slot
    EXPECT_EQ(window.label("MnPHeaderL")->text(), QStringLiteral("Balance"));
    EXPECT_FALSE(window.image("MPRSSImg")->picture().isNull());
    saveScreenshot(window, "2-menu");
}

TEST_F(FormTest, StartStatesForAutoShowAboutAndNoLanguage) {
    TForm1& hidden = start({QStringLiteral("auto")});
    advance(5000);
    EXPECT_FALSE(hidden.isVisible());
    EXPECT_EQ(hidden.CurrentPanel, nullptr);
    // Overlays before any screen: on the window at the display area, no crash.
    hidden.ShowHourglass();
    EXPECT_EQ(hidden.control("Hourglass")->parentWidget(), &hidden);
    hidden.HideHourglass();
    setFieldText(hidden.ErrorText, std::string("Updated."));
    hidden.ShowError();
    EXPECT_EQ(hidden.control("ErrorPanel")->parentWidget(), &hidden);

    TForm1& about = start({QStringLiteral("show"), QStringLiteral("about")});
    advance(100);
    ASSERT_EQ(about.messagesShown().size(), 2);
    EXPECT_TRUE(about.messagesShown()[0].contains(QStringLiteral("Quillbox v 2.1")));
    EXPECT_EQ(about.CurrentPanel, nullptr);

    TempDir empty;
    TForm1& none = start({}, 1.0, empty.path());
    EXPECT_TRUE(none.ending());
    EXPECT_EQ(none.messagesShown(),
              QStringList{QStringLiteral("No language find, please download language libraries!")});
    EXPECT_EQ(m_titles.back(), QStringLiteral("Error!"));
    EXPECT_FALSE(none.StartUpTimer.enabled());
}

TEST_F(FormTest, TheStoredLanguageIsUsedWhenInstalledElseTheFirstInstalledOne) {
    struct Case {
        int stored;
        int chosen;
        const char* balance;  // language string 9, the balance screen's title
    };
    for (const Case& c : {Case{-1, 1, "Balance"}, Case{2, 2, "Баланс"}, Case{7, 1, "Balance"},
                          Case{40, 1, "Balance"}}) {
        TSystemInfo stored{};
        LoadSystemInfo(&stored);
        stored.Language = c.stored;
        ASSERT_TRUE(SaveSystemInfo(stored));
        TForm1& window = start();
        EXPECT_EQ(window.ChosenLanguage, c.chosen) << c.stored;
        EXPECT_EQ(window.label("MnPHeaderL")->text(), QString::fromUtf8(c.balance)) << c.stored;
        EXPECT_EQ(window.Languages.Charset, c.chosen == 2 ? 204 : 0) << c.stored;
    }
}

TEST_F(FormTest, PanelsSitOnTheDisplayAreaAtEitherScale) {
    struct Case {
        double scale;
        int width, height, offsetX, offsetY;
    };
    for (const Case& c : {Case{1.0, 351, 465, 59, 80}, Case{1.25, 439, 581, 74, 100},
                          Case{2.0, 702, 930, 118, 160}}) {
        const app::Geometry geometry = app::geometryFor(c.scale, QSize(1024, 768));
        EXPECT_EQ(geometry.PanelWidth, c.width) << c.scale;
        EXPECT_EQ(geometry.PanelHeight, c.height) << c.scale;
        EXPECT_EQ(geometry.ScreenOffsetX, c.offsetX) << c.scale;
        EXPECT_EQ(geometry.ScreenOffsetY, c.offsetY) << c.scale;
        TForm1& window = start({}, c.scale, QUILLBOX_LANGUAGE_DIR, QSize(1024, 768));
        const QRect menu = window.control("MenuPanel")->geometry();
        EXPECT_EQ(menu, QRect(geometry.ImageLeft + c.offsetX, geometry.ImageTop + c.offsetY,
                              c.width, c.height))
            << c.scale;
        EXPECT_EQ(window.control("SettingPanel")->geometry(), menu);
        // The overlays are scaled once, so they stay inside the screen.
        window.CurrentPanel = window.control("MenuPanel");
        window.ShowHourglass();
        window.ShowCopyPanel(QStringLiteral("x"));
        for (const char* overlay : {"Hourglass", "CopyPanel"}) {
            const QRect place = window.control(overlay)->geometry();
            EXPECT_TRUE(QRect(QPoint(0, 0), menu.size()).contains(place))
                << overlay << " at " << c.scale;
        }
    }
    EXPECT_EQ(app::roundEven(2.5), 2);
    EXPECT_EQ(app::roundEven(3.5), 4);
}

TEST_F(FormTest, AScreenChangeFadesToBlackAndBackInFiftyTicks) {
    TForm1& window = toMenu();
    std::vector<int> levels;
    window.ColorLevel = 255;
    window.FadeIn = false;
    window.ColorTimer.setEnabled(true);
    while (window.ColorTimer.enabled()) {
        window.ColorTimerTimer();
        levels.push_back(window.ColorLevel);
    }
    window.FadeIn = true;
    window.ColorTimer.setEnabled(true);
    while (window.ColorTimer.enabled()) {
        window.ColorTimerTimer();
        levels.push_back(window.ColorLevel);
    }
    ASSERT_EQ(levels.size(), 50u);
    EXPECT_EQ(levels[0], 245);
    EXPECT_EQ(levels[23], 15);
    EXPECT_EQ(levels[24], 0);
    EXPECT_EQ(levels[25], 10);
    EXPECT_EQ(levels[48], 240);
    EXPECT_EQ(levels[49], 255);

    const std::uint64_t ticks = window.ColorTimer.ticks();
    const auto before = TimerService::instance().now();
    window.SetScreenPanel(window.control("MenuPanel"));  // the same screen fades in full
    EXPECT_EQ(window.ColorTimer.ticks() - ticks, 50u);
    EXPECT_EQ(TimerService::instance().now() - before, milliseconds(750));
    EXPECT_EQ(window.CurrentPanel, window.control("MenuPanel"));
    EXPECT_FALSE(window.control("ColorPanel")->isVisible());
}

TEST_F(FormTest, OverlaysSitWhereTheyBelongAndMessagesLastTwoSecondsEach) {
    TForm1& window = toMenu();
    window.ShowHourglass();
    EXPECT_EQ(window.control("Hourglass")->parentWidget(), window.control("MenuPanel"));
    EXPECT_EQ(window.control("Hourglass")->pos(), QPoint(160, 212));
    saveScreenshot(window, "3-hourglass");
    window.HideHourglass();
    window.ShowCopyPanel(QStringLiteral("News.fb2"));
    EXPECT_EQ(window.control("CopyPanel")->pos(), QPoint(0, 192));
    EXPECT_EQ(window.label("Label18")->text(), QStringLiteral("News.fb2"));
    saveScreenshot(window, "4-copy-box");
    window.HideCopyPanel();
    EXPECT_FALSE(window.control("CopyPanel")->isVisible());

    // 500 characters: sentences, and an address too long for one line.
    std::string longMessage =
        "Could not reach http://store.example/bmanager/a-very-long-address-without-any-blank/x ";
    while (longMessage.size() < 500) {
        longMessage += "the reader keeps its news; ";
    }
    longMessage.resize(500);
    setFieldText(window.ErrorText, longMessage);
    const auto before = TimerService::instance().now();
    app::WindowTimer camera(1000, true, [&window] { saveScreenshot(window, "5-message"); });
    window.ShowError();
    camera.setEnabled(false);
    // All 500 characters, in a font in which the wrapped text fits the label.
    const QLabel* shown = window.label("Label29");
    EXPECT_EQ(QString(shown->text()).remove(QChar(0x200B)), QString::fromStdString(longMessage));
    EXPECT_LE(
        QFontMetrics(shown->font())
            .boundingRect(QRect(0, 0, shown->width(), 1 << 20), Qt::TextWordWrap, shown->text())
            .height(),
        shown->height());
    setFieldText(window.ErrorText, std::string("Second message."));
    window.ShowError();
    EXPECT_GE(TimerService::instance().now() - before, milliseconds(4000));
    EXPECT_EQ(window.control("ErrorPanel")->pos(), QPoint(0, 155));
    EXPECT_FALSE(window.control("ErrorPanel")->isVisible());
}

TEST_F(FormTest, TimersTickWhileALibraryWaitsForASilentStore) {
    StoreServer store({"--rule", "account:delay=1500"});
    ASSERT_TRUE(store.running()) << store.error();
    const EnvGuard storeUrl("QUILLBOX_STORE_URL", store.baseUrl());
    TForm1& window = toMenu();
    int ticks = 0;
    app::WindowTimer watch(50, true, [&ticks] { ++ticks; });
    TUserData user{};
    user.Login.assign("reader");
    user.Password.assign("Secret7");
    LoadBookLibraryFromURL(window.Library.get(), window.Money.get(), user, false);
    EXPECT_GE(ticks, 10);  // 1.5 s of waiting, a tick every 50 ms
}

namespace {

// A library operation against a silent store, run the way the screens run
// them; `during` runs 300 ms into it.
std::uint8_t operationAgainstASilentStore(TForm1& window, const std::function<void()>& during) {
    int ran = 0;
    app::WindowTimer trigger(300, true, [&] {
        if (ran++ == 0) {
            during();
        }
    });
    std::uint8_t result = 0;
    window.runOperation([&] {
        window.ShowHourglass();
        TUserData user{};
        user.Login.assign("reader");
        user.Password.assign("Secret7");
        result = LoadBookLibraryFromURL(window.Library.get(), window.Money.get(), user, false);
        window.HideHourglass();
    });
    return result;
}

}  // namespace

TEST_F(FormTest, EscapeStopsAnOperationThoughTheWindowIsDisabled) {
    StoreServer store({"--rule", "account:delay=20000"});
    ASSERT_TRUE(store.running()) << store.error();
    const EnvGuard storeUrl("QUILLBOX_STORE_URL", store.baseUrl());
    TForm1& window = toMenu();
    bool disabled = false;
    const std::uint8_t result = operationAgainstASilentStore(window, [&] {
        disabled = !window.isEnabled();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &escape);
    });
    EXPECT_TRUE(disabled);
    EXPECT_EQ(result, kBookUpdateNotConnectedOrOverflow);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.application().Cancelled());  // the Escape reached the operation
}

TEST_F(FormTest, TheBookLibrarysMessagesAppearInTheWindowsMessageBox) {
    StoreServer store;
    ASSERT_TRUE(store.running()) << store.error();
    const EnvGuard storeUrl("QUILLBOX_STORE_URL", store.baseUrl());
    TForm1& window = toMenu();
    TUserData user{};
    user.Login.assign("reader");
    user.Password.assign("not-the-password");
    const std::uint8_t result =
        LoadBookLibraryFromURL(window.Library.get(), window.Money.get(), user, true);
    EXPECT_NE(result, kBookUpdateDone);
    // The library's text for a refused login, in Cyrillic whatever the
    // interface language.
    const QString shown = QString(window.label("Label29")->text()).remove(QChar(0x200B));
    EXPECT_TRUE(shown.contains(QString::fromUtf8("пароль"))) << shown.toStdString();
}

TEST_F(FormTest, ClosingDuringAnOperationStopsItThenSavesOnce) {
    StoreServer store({"--rule", "account:delay=20000"});
    ASSERT_TRUE(store.running()) << store.error();
    const EnvGuard storeUrl("QUILLBOX_STORE_URL", store.baseUrl());
    TForm1& window = toMenu();
    int savesDuring = -1;
    const std::uint8_t result = operationAgainstASilentStore(window, [&] {
        window.close();
        savesDuring = window.exitSaves();
    });
    EXPECT_EQ(result, kBookUpdateNotConnectedOrOverflow);
    EXPECT_EQ(savesDuring, 0);  // nothing saved while the operation still ran
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.exitSaves(), 1);
    window.close();
    EXPECT_EQ(window.exitSaves(), 1);
    EXPECT_TRUE(std::filesystem::exists(m_data.path() + "RSS/RSS.list"));
}

}  // namespace quillbox::test
