// quillbox: the program. Without a window for --help and --version; otherwise
// the one window, which ends the program when it closes.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Form.h"

namespace {

constexpr const char* kVersion = "Quillbox 2.1";

int g_signalPipe[2] = {-1, -1};

void onStopSignal(int /*signal*/) {
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

void printHelp() {
    std::printf(
        "Usage: quillbox [auto | show about | --help | --version]\n"
        "\n"
        "Quillbox brings the news of your RSS feeds and the books of your Tomeport\n"
        "account to your e-book reader.\n"
        "\n"
        "  auto        start hidden in the notification area (used at logon)\n"
        "  show about  show the product and developer notices, then end\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "Environment: QUILLBOX_HOME (data folder), QUILLBOX_STORE_URL (the store's\n"
        "address), QUILLBOX_DRIVES (reader folders for testing, LETTER=PATH;...).\n");
}

bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        return true;
    }
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", kVersion);
            return 0;
        }
    }
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "quillbox: no graphical display (DISPLAY is not set).\n"
                     "Start it from a desktop session, or on a machine without one under a\n"
                     "virtual display: xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }
    // The window scales itself from the screen's pixels per inch.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Quillbox"));

    quillbox::app::StartOptions options;
    const QStringList arguments = QCoreApplication::arguments();
    options.arguments = arguments.mid(1);
    quillbox::app::TForm1 window(std::move(options));
    if (window.ending()) {
        return 1;
    }

    // SIGTERM and SIGINT close the window like any other way of ending.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &application);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
            char byte = 0;
            (void)!::read(g_signalPipe[0], &byte, 1);
            window.close();
            QCoreApplication::quit();
        });
    }
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.close(); });
    return application.exec();
}
