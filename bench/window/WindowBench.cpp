// The window's start-up in real time, from the process's start to the main
// menu drawn: main() entered, the QApplication made, the window created (its
// constructor returned), the splash drawn, the second start-menu tick (the
// splash's time is up) and the menu drawn. The menu time minus the designed
// 750 ms fade (50 colour ticks of 15 ms) is the program's own work after the
// splash. CPU time and resident memory are taken when the menu is drawn.
//
//   window_bench            one start-up in this process, one column of figures
//   window_bench --runs N   N start-ups, each a fresh process (this program run
//                           again), every run's figures and their medians
//
// The platform comes from QT_QPA_PLATFORM (offscreen when it is unset), so the
// same program runs under a virtual X display with xcb. Times from the process
// start rest on /proc/self/stat, which counts in clock ticks (10 ms); the
// differences between two later moments are exact. Exits 1 when a start-up
// did not reach the menu.

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/Form.h"

extern char** environ;

namespace {

constexpr double kDesignedFadeMs = 750.0;  // 50 ticks of 15 ms
constexpr int kColourTicksPerChange = 50;
constexpr int kGiveUpMs = 30000;
constexpr double kOwnWorkGoalMs = 300.0;
constexpr double kResidentGoalMb = 80.0;
constexpr const char* kLinePrefix = "window_bench:";

using Figures = std::map<std::string, double>;

struct Row {
    const char* key;
    const char* label;
};

// The table's rows in order; each run's figures carry these keys.
constexpr Row kRows[] = {
    {"main", "main() entered (ms from process start)"},
    {"application", "QApplication made"},
    {"created", "window created (constructor returned)"},
    {"splash", "splash drawn"},
    {"tick", "second start-menu tick (splash time up)"},
    {"menu", "menu drawn"},
    {"fade", "fade as measured: tick to last colour tick"},
    {"own", "own work after the splash: menu-tick-750"},
    {"cpu", "CPU time at the menu (ms, user+system)"},
    {"rss", "resident at the menu (MB, VmRSS)"},
    {"hwm", "peak resident at the menu (MB, VmHWM)"},
};

double bootClockMs() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The process's start on the boot clock in ms (field 22 of /proc/self/stat,
// in clock ticks); nullopt when it cannot be read.
std::optional<double> processStartMs() {
    std::ifstream file("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name (field 2) may hold spaces; the fields after it start at 3.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
        if (number == 22) {
            const double ticks = std::strtod(field.c_str(), nullptr);
            return ticks * 1e3 / static_cast<double>(::sysconf(_SC_CLK_TCK));
        }
    }
    return std::nullopt;
}

// A field of /proc/self/status in MB (the file counts in units of 1024 bytes).
double statusMegabytes(const char* name) {
    std::ifstream file("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(file, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtod(line.c_str() + prefix.size(), nullptr) * 1024.0 / 1e6;
        }
    }
    return 0;
}

double cpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& value) {
        return static_cast<double>(value.tv_sec) * 1e3 + static_cast<double>(value.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(file >> one >> five >> fifteen)) {
        return "unknown";
    }
    return one + " " + five + " " + fifteen;
}

bool within(const QWidget* panel, const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return panel != nullptr && widget != nullptr &&
           (widget == panel || panel->isAncestorOf(widget));
}

// Watches every event of the application for the moments of the start-up,
// without any hook in the window: the start-menu timer's Qt timer is the one
// of 1000 ms that ticks while the window's start-menu timer is enabled and
// has not ticked yet; a screen counts as drawn once the event that painted it
// (and flushed the window) has been handled.
class StartUpWatch : public QObject {
  public:
    StartUpWatch(quillbox::app::TForm1& window, double origin)
        : m_window(window), m_origin(origin) {}

    Figures& figures() { return m_figures; }
    bool reachedMenu() const { return m_figures.count("menu") != 0; }
    int colourTicksAfterTick() const { return m_colourTicks; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            noteTimer(qobject_cast<QTimer*>(watched));
        } else if (event->type() == QEvent::Paint) {
            notePaint(watched);
        }
        return false;
    }

  private:
    double now() const { return bootClockMs() - m_origin; }

    void noteTimer(const QTimer* timer) {
        if (timer == nullptr) {
            return;
        }
        const quillbox::app::WindowTimer& startMenu = m_window.StartMenuTimer;
        if (m_startMenuQtTimer == nullptr && timer->interval() == startMenu.interval() &&
            startMenu.enabled() && !m_window.StartMenuArmed && startMenu.ticks() == 0) {
            m_startMenuQtTimer = timer;
        } else if (timer == m_startMenuQtTimer && m_window.StartMenuArmed &&
                   startMenu.ticks() == 1 && m_figures.count("tick") == 0) {
            m_figures["tick"] = now();
        } else if (m_figures.count("tick") != 0 && m_window.ColorTimer.enabled() &&
                   timer->interval() == m_window.ColorTimer.interval()) {
            m_lastColourTick = now();
            ++m_colourTicks;
        }
    }

    void notePaint(const QObject* watched) {
        const QWidget* current = m_window.CurrentPanel;
        if (!m_splashPainted && current != nullptr &&
            current == m_window.control("TomeportPanel") && within(current, watched)) {
            m_splashPainted = true;
            QTimer::singleShot(0, this, [this] { m_figures["splash"] = now(); });
        } else if (!m_menuPainted && current != nullptr &&
                   current == m_window.control("MenuPanel") && within(current, watched)) {
            m_menuPainted = true;
            QTimer::singleShot(0, this, [this] { menuDrawn(); });
        }
    }

    void menuDrawn() {
        m_figures["menu"] = now();
        m_figures["cpu"] = cpuMs();
        m_figures["rss"] = statusMegabytes("VmRSS");
        m_figures["hwm"] = statusMegabytes("VmHWM");
        if (const auto tick = m_figures.find("tick"); tick != m_figures.end()) {
            m_figures["fade"] = m_lastColourTick - tick->second;
            m_figures["own"] = m_figures["menu"] - tick->second - kDesignedFadeMs;
        }
        QCoreApplication::quit();
    }

    quillbox::app::TForm1& m_window;
    double m_origin;
    Figures m_figures;
    const QTimer* m_startMenuQtTimer = nullptr;
    double m_lastColourTick = 0;
    int m_colourTicks = 0;
    bool m_splashPainted = false;
    bool m_menuPainted = false;
};

// A temporary folder for the window's data and settings, removed at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "window_bench.XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// One start-up in this process. Returns its figures, or nullopt (with the
// reason on stderr) when the menu was not reached.
std::optional<Figures> startUpOnce(int argc, char** argv) {
    const double mainEntered = bootClockMs();
    const std::optional<double> start = processStartMs();
    if (!start) {
        std::fprintf(stderr, "window_bench: cannot read /proc/self/stat\n");
        return std::nullopt;
    }
    ScratchFolder scratch;
    if (scratch.path().empty()) {
        std::fprintf(stderr, "window_bench: cannot make a temporary folder\n");
        return std::nullopt;
    }
    const std::string data = scratch.path() + "/data";
    const std::string config = scratch.path() + "/config";
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(config);
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        // Qt wants one, private to the user; the scratch folder is (mkdtemp).
        ::setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
    }
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("QUILLBOX_HOME", data.c_str(), 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // As the program: the window scales itself from the screen's pixels per inch.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    QApplication application(argc, argv);
    const double applicationMade = bootClockMs();

    quillbox::app::StartOptions options;
    options.languageFolder = QUILLBOX_LANGUAGE_DIR;
    options.dataFolder = data;
    options.messageBox = [](const QString& title, const QString& text) {
        std::fprintf(stderr, "window_bench: message box \"%s\": %s\n", qPrintable(title),
                     qPrintable(text));
    };
    quillbox::app::TForm1 window(std::move(options));
    const double created = bootClockMs();
    if (window.ending()) {
        std::fprintf(stderr, "window_bench: no language module in %s\n", QUILLBOX_LANGUAGE_DIR);
        return std::nullopt;
    }

    StartUpWatch watch(window, *start);
    application.installEventFilter(&watch);
    bool gaveUp = false;
    QTimer::singleShot(kGiveUpMs, &application, [&gaveUp] {
        gaveUp = true;
        QCoreApplication::quit();
    });
    QApplication::exec();
    application.removeEventFilter(&watch);

    if (gaveUp || !watch.reachedMenu()) {
        std::fprintf(stderr, "window_bench: the menu was not drawn within %d ms\n", kGiveUpMs);
        return std::nullopt;
    }
    if (watch.figures().count("tick") == 0 || window.StartMenuTimer.ticks() != 2 ||
        watch.colourTicksAfterTick() != kColourTicksPerChange) {
        std::fprintf(stderr,
                     "window_bench: the start-up did not run as designed (start-menu ticks %llu, "
                     "colour ticks after the second %d, want 2 and %d)\n",
                     static_cast<unsigned long long>(window.StartMenuTimer.ticks()),
                     watch.colourTicksAfterTick(), kColourTicksPerChange);
        return std::nullopt;
    }
    Figures figures = watch.figures();
    figures["main"] = mainEntered - *start;
    figures["application"] = applicationMade - *start;
    figures["created"] = created - *start;
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void printTable(const std::vector<Figures>& runs) {
    std::printf("%-46s", "");
    for (std::size_t run = 1; run <= runs.size(); ++run) {
        std::printf(" %10s", ("run " + std::to_string(run)).c_str());
    }
    if (runs.size() > 1) {
        std::printf(" %10s", "median");
    }
    std::printf("\n");
    for (const Row& row : kRows) {
        std::printf("%-46s", row.label);
        std::vector<double> values;
        for (const Figures& figures : runs) {
            const double value = figures.at(row.key);
            values.push_back(value);
            std::printf(" %10.1f", value);
        }
        if (runs.size() > 1) {
            std::printf(" %10.1f", median(values));
        }
        std::printf("\n");
    }
    std::vector<double> own, rss;
    for (const Figures& figures : runs) {
        own.push_back(figures.at("own"));
        rss.push_back(figures.at("rss"));
    }
    const double ownMedian = median(own);
    const double rssMedian = median(rss);
    std::printf("\nown work after the splash %.1f ms (goal at most %.0f ms): %s\n", ownMedian,
                kOwnWorkGoalMs, ownMedian <= kOwnWorkGoalMs ? "met" : "missed");
    std::printf("resident with the menu shown %.1f MB (goal under %.0f MB): %s\n", rssMedian,
                kResidentGoalMb, rssMedian < kResidentGoalMb ? "met" : "missed");
    std::printf(
        "(times from the process start carry the 10 ms step of /proc/self/stat; 1 MB = 10^6 "
        "bytes)\n");
}

// Runs this program again with --line and reads the figures it prints.
std::optional<Figures> startUpInChild(const std::string& self) {
    int out[2];
    if (::pipe(out) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string line = "--line";
    std::vector<char*> argv = {const_cast<char*>(self.c_str()), line.data(), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return std::nullopt;
    }
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    const std::size_t at = output.find(kLinePrefix);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    Figures figures;
    std::istringstream words(output.substr(at + std::strlen(kLinePrefix)));
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos) {
            figures[word.substr(0, equals)] = std::strtod(word.c_str() + equals + 1, nullptr);
        }
    }
    for (const Row& row : kRows) {
        if (figures.count(row.key) == 0) {
            return std::nullopt;
        }
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--line") == 0) {
        const std::optional<Figures> figures = startUpOnce(argc, argv);
        if (!figures) {
            return 1;
        }
        std::printf("%s", kLinePrefix);
        for (const auto& [key, value] : *figures) {
            std::printf(" %s=%.3f", key.c_str(), value);
        }
        std::printf("\n");
        return 0;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* platformName = platform != nullptr ? platform : "offscreen";
    if (argc == 1) {
        std::printf("window start-up, 1 run, platform %s, load average %s\n", platformName,
                    loadAverage().c_str());
        const std::optional<Figures> figures = startUpOnce(argc, argv);
        if (!figures) {
            return 1;
        }
        printTable({*figures});
        return 0;
    }
    const int runs = argc == 3 && std::strcmp(argv[1], "--runs") == 0 ? std::atoi(argv[2]) : 0;
    if (runs < 1) {
        std::fprintf(stderr, "Usage: window_bench [--runs N]\n");
        return 2;
    }
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        std::fprintf(stderr, "window_bench: cannot find its own executable\n");
        return 1;
    }
    std::printf("window start-up, %d runs, platform %s, load average at start %s\n", runs,
                platformName, loadAverage().c_str());
    std::fflush(stdout);
    std::vector<Figures> all;
    for (int run = 1; run <= runs; ++run) {
        std::optional<Figures> figures = startUpInChild(self);
        if (!figures) {
            std::fprintf(stderr, "window_bench: run %d failed\n", run);
            return 1;
        }
        all.push_back(*figures);
    }
    printTable(all);
    std::printf("load average at end %s\n", loadAverage().c_str());
    return 0;
}
