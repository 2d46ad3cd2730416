#pragma once
// The window in virtual time on the offscreen platform, with its own data and
// settings folders and the real language modules; screenshots of what the
// user sees go to <build>/gui-screenshots/.

#include <gtest/gtest.h>

#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/Form.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

void saveScreenshot(QWidget& window, const char* name);
// A click at the middle of a widget's place, given to whatever the window has
// there (a hidden widget is not hit).
void clickAt(app::TForm1& window, QWidget* target);

class WindowTest : public ::testing::Test {
  protected:
    WindowTest();
    ~WindowTest() override;

    // Makes the window (the offscreen screen unless a screen size is given).
    app::TForm1& start(QStringList arguments = {}, double scale = 1.0,
                       std::string languages = QUILLBOX_LANGUAGE_DIR, QSize screen = QSize());
    void advance(int milliseconds);
    // Start-up to the main menu: the splash after 100 ms, the menu two ticks later.
    app::TForm1& toMenu();

    TempDir m_settings;
    TempDir m_data;
    EnvGuard m_config;
    EnvGuard m_home;
    std::optional<bool> m_trayAvailable;  // for the next start
    QStringList m_titles;                 // titles of the system message boxes shown
    std::unique_ptr<app::TForm1> m_window;
};

}  // namespace quillbox::test
