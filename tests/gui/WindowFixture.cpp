#include "tests/gui/WindowFixture.h"

#include <QDir>
#include <QTest>

#include "app/TimerService.h"

namespace quillbox::test {

void saveScreenshot(QWidget& window, const char* name) {
    const QString folder = QStringLiteral(QUILLBOX_BINARY_DIR "/gui-screenshots");
    QDir().mkpath(folder);
    window.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

void clickAt(app::TForm1& window, QWidget* target) {
    const QPoint at = target->mapTo(&window, target->rect().center());
    QWidget* hit = window.childAt(at);
    ASSERT_NE(hit, nullptr);
    QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFrom(&window, at));
}

WindowTest::WindowTest()
    : m_config("XDG_CONFIG_HOME", m_settings.path()), m_home("QUILLBOX_HOME", m_data.path()) {
    app::TimerService::instance().useVirtualTime(true);
}

WindowTest::~WindowTest() {
    m_window.reset();
    app::TimerService::instance().useVirtualTime(false);
}

app::TForm1& WindowTest::start(QStringList arguments, double scale, std::string languages,
                               QSize screen) {
    app::StartOptions options;
    options.arguments = std::move(arguments);
    options.scale = scale;
    options.screenSize = screen;
    options.languageFolder = std::move(languages);
    options.dataFolder = m_data.path();
    options.trayAvailable = m_trayAvailable;
    options.messageBox = [this](const QString& title, const QString&) {
        m_titles.push_back(title);
    };
    m_window.reset();
    m_window = std::make_unique<app::TForm1>(std::move(options));
    return *m_window;
}

void WindowTest::advance(int milliseconds) {
    app::TimerService::instance().advance(std::chrono::milliseconds(milliseconds));
}

app::TForm1& WindowTest::toMenu() {
    app::TForm1& window = start();
    advance(100);
    advance(2100);
    return window;
}

}  // namespace quillbox::test
