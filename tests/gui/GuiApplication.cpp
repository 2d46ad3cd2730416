// The one QApplication of a GUI test binary (the window's and the controls'), made before the first
// test on the offscreen platform so no test needs a display.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class GuiApplication : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_application = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_application.reset(); }

  private:
    // QApplication keeps references to both for its lifetime.
    int m_argc = 1;
    char m_name[10] = "gui_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_application;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new GuiApplication);

}  // namespace
