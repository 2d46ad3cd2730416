// quillbox: the program. Without a window for --help and --version; otherwise
// the one window, which ends the program when it closes.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/OpmlTransfer.h"
#include "app/ProgramLog.h"
#include "app/SingleInstance.h"
#include "platform/ProgramFolder.h"

namespace {

constexpr const char* kVersion = "Quillbox 2.1";

int g_signalPipe[2] = {-1, -1};

void onStopSignal(int /*signal*/) {
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

void printHelp() {
    const std::string folder = quillbox::app::logFolder();
    std::printf(
        "Usage: quillbox [auto | show about] [--log-level LEVEL]\n"
        "       quillbox --import-opml FILE | --export-opml FILE\n"
        "       quillbox --help | --version\n"
        "\n"
        "Quillbox brings the news of your RSS feeds and the books of your Tomeport\n"
        "account to your e-book reader.\n"
        "\n"
        "  auto        start hidden in the notification area (used at logon)\n"
        "  show about  show the product and developer notices, then end\n"
        "  --import-opml FILE  add the feeds of an OPML file to the feed list\n"
        "  --export-opml FILE  write the feed list to an OPML file\n"
        "              (both without a window; a running Quillbox does the work)\n"
        "  --log-level LEVEL  how much goes to the log: trace, debug, info (the\n"
        "              default), warn, error or off\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "The log is %squillbox.log.\n"
        "\n"
        "Environment: QUILLBOX_HOME (data folder), QUILLBOX_STORE_URL (the store's\n"
        "address), QUILLBOX_DRIVES (reader folders for testing, LETTER=PATH;...).\n",
        folder.c_str());
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

// --import-opml / --export-opml: done by the running program when there is
// one for this data folder (its list and the stored one never differ), else
// here on the stored list, holding the program's lock meanwhile.
int runOpmlCommand(std::vector<char*> kept, bool import, const char* file,
                   quillbox::app::LogLevel level) {
    int count = static_cast<int>(kept.size());
    kept.push_back(nullptr);
    QCoreApplication application(count, kept.data());
    quillbox::app::openProgramLog(level);
    const QString path = QFileInfo(QString::fromLocal8Bit(file)).absoluteFilePath();
    const std::string dataFolder = quillbox::platform::dataFolder();
    quillbox::app::SingleInstance instance(QString::fromStdString(dataFolder));
    const QString request =
        (import ? QStringLiteral("import-opml ") : QStringLiteral("export-opml ")) + path;
    const quillbox::app::SingleInstance::Claim claim = instance.claim(request, 60000);
    switch (claim.outcome) {
        case quillbox::app::SingleInstance::Outcome::Told: {
            const bool ok = claim.reply.startsWith(QStringLiteral("ok "));
            const QString text = claim.reply.mid(claim.reply.indexOf(QLatin1Char(' ')) + 1);
            std::fprintf(ok ? stdout : stderr, "%s\n", text.toLocal8Bit().constData());
            return ok ? 0 : 1;
        }
        case quillbox::app::SingleInstance::Outcome::Unanswered:
            std::fprintf(stderr,
                         "quillbox: Quillbox is running for %s but does not answer; nothing "
                         "was done.\n",
                         dataFolder.c_str());
            return 1;
        case quillbox::app::SingleInstance::Outcome::First:
            break;
    }
    const quillbox::app::OpmlOutcome outcome =
        import ? quillbox::app::importOpmlIntoStoredList(dataFolder, path)
               : quillbox::app::exportStoredListToOpml(dataFolder, path);
    std::fprintf(outcome.ok ? stdout : stderr, "%s\n", outcome.text.toLocal8Bit().constData());
    return outcome.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    using quillbox::app::LogLevel;
    LogLevel level = LogLevel::Info;
    std::vector<char*> kept{argv[0]};  // the arguments without the options below
    const char* opmlFile = nullptr;
    bool opmlImport = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log-level") == 0) {
            const std::optional<LogLevel> named =
                i + 1 < argc ? quillbox::app::logLevelNamed(argv[i + 1]) : std::nullopt;
            if (!named) {
                std::fprintf(stderr,
                             "quillbox: --log-level takes one of trace, debug, info, warn, "
                             "error, off.\n");
                return 2;
            }
            level = *named;
            ++i;
            continue;
        }
        const bool import = std::strcmp(argv[i], "--import-opml") == 0;
        if (import || std::strcmp(argv[i], "--export-opml") == 0) {
            if (i + 1 >= argc || opmlFile != nullptr) {
                std::fprintf(stderr, "quillbox: %s takes one file.\n", argv[i]);
                return 2;
            }
            opmlImport = import;
            opmlFile = argv[++i];
            continue;
        }
        kept.push_back(argv[i]);
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", kVersion);
            return 0;
        }
    }
    if (opmlFile != nullptr) {
        return runOpmlCommand(kept, opmlImport, opmlFile, level);
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
    int keptCount = static_cast<int>(kept.size());
    kept.push_back(nullptr);
    QApplication application(keptCount, kept.data());
    application.setApplicationName(QStringLiteral("Quillbox"));
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    const quillbox::app::LogOpened log = quillbox::app::openProgramLog(level);
    if (!log.ok) {
        std::fprintf(stderr, "quillbox: no log: %s\n", log.text.c_str());
    }
    const std::string dataFolder = quillbox::platform::dataFolder();
    quillbox::app::logInfo(std::string(kVersion) + " starting; data in " + dataFolder);

    // One program per data folder: a second start (the logon entry while the
    // user already runs it, a second click in the menu) hands over to it.
    const bool notices = arguments.value(0) == QStringLiteral("show");
    quillbox::app::SingleInstance instance(QString::fromStdString(dataFolder));
    if (!notices) {
        const bool atLogon = arguments.value(0) == QStringLiteral("auto");
        switch (instance.claim(atLogon ? QStringLiteral("auto") : QStringLiteral("show")).outcome) {
            case quillbox::app::SingleInstance::Outcome::First:
                break;
            case quillbox::app::SingleInstance::Outcome::Told:
                std::printf("Quillbox is already running; %s\n",
                            atLogon ? "nothing to do." : "its window was brought to the front.");
                quillbox::app::logInfo("a second start handed over to the running program");
                return 0;
            case quillbox::app::SingleInstance::Outcome::Unanswered:
                std::fprintf(stderr,
                             "quillbox: Quillbox is already running for %s but does not "
                             "answer. Close it (or end its process) and start it again.\n",
                             dataFolder.c_str());
                quillbox::app::logWarning("a second start found the program not answering");
                return 1;
        }
    }

    quillbox::app::StartOptions options;
    options.arguments = arguments;
    quillbox::app::TForm1 window(std::move(options));
    if (window.ending()) {
        quillbox::app::logError("no language library found; ending");
        return 1;
    }
    instance.onMessage = [&window](const QString& line) { return window.instanceMessage(line); };

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
    const int status = application.exec();
    quillbox::app::logInfo("ended");
    return status;
}
