// Reader detection over folders acting as removable drives: no drive, a drive
// without the marker, two readers, removal, and the alternating ticks.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/Form.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using ReaderDetectionTest = WindowTest;

void makeReader(const std::string& folder) {
    std::filesystem::create_directories(folder + "System");
    std::ofstream(folder + "System/.leafdevice") << "";
}

constexpr int kE = 4;
constexpr int kF = 5;
constexpr int kG = 6;

}  // namespace

TEST_F(ReaderDetectionTest, TheFirstReaderInDriveOrderIsTakenAndRemovalIsSeen) {
    TempDir e;
    TempDir f;
    TempDir g;
    makeReader(e.path());
    makeReader(g.path());
    const EnvGuard drives("QUILLBOX_DRIVES", "E=" + e.path() + ";F=" + f.path() + ";G=" + g.path());
    app::TForm1& window = toMenu();  // the timer has ticked on the way
    window.CopyTimerTimer();
    EXPECT_EQ(window.ReaderDrive, kE);  // E: before G:; F: has no marker
    EXPECT_FALSE(window.ReaderMarkSeen[kF]);
    EXPECT_TRUE(window.CopyTimer.enabled());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.UpdateTimer.enabled());  // the same reader as before

    // One tick reads the marker and sets the flag, the next only confirms the
    // medium and clears it.
    for (int tick = 0; tick < 4; ++tick) {
        const bool seen = window.ReaderMarkSeen[kE];
        window.CopyTimerTimer();
        EXPECT_EQ(window.ReaderMarkSeen[kE], !seen) << tick;
        EXPECT_EQ(window.ReaderDrive, kE) << tick;
    }

    // E: goes away (its folder, and so its medium): G: is the reader.
    std::filesystem::remove_all(e.path());
    window.CopyTimerTimer();
    EXPECT_EQ(window.ReaderDrive, kG);
    EXPECT_FALSE(window.ReaderMarkSeen[kE]);
}

TEST_F(ReaderDetectionTest, NoDriveOrNoMarkerMeansNoReaderAndABusyWindowIsLeftAlone) {
    TempDir plain;
    const EnvGuard drives("QUILLBOX_DRIVES", "E=" + plain.path());
    app::TForm1& window = toMenu();
    window.ReaderDrive = kG;
    window.CopyTimerTimer();
    EXPECT_EQ(window.ReaderDrive, 0);

    makeReader(plain.path());
    window.setEnabled(false);  // an action runs
    window.CopyTimerTimer();
    EXPECT_EQ(window.ReaderDrive, 0);
    window.setEnabled(true);
    advance(1102);  // the timer's own tick
    EXPECT_EQ(window.ReaderDrive, kE);
}

TEST_F(ReaderDetectionTest, TheScanLeavesTheKeyboardWhereTheUserHasIt) {
    app::TForm1& window = toMenu();
    window.show();
    QApplication::setActiveWindow(&window);
    window.SetScreenPanel(window.control("RSSPanel"));
    window.RSSAddClick();  // the address line opens with the keyboard
    auto* edit = qobject_cast<QLineEdit*>(window.control("RSSEdit"));
    ASSERT_TRUE(edit->hasFocus());
    advance(5 * 1102);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    // The message box reads as clearly while an operation disables the window.
    const QPalette message = window.label("Label29")->palette();
    EXPECT_EQ(message.color(QPalette::Disabled, QPalette::WindowText),
              message.color(QPalette::Active, QPalette::WindowText));
}

}  // namespace quillbox::test
