// The news screen in real time: its update action over 1000 feeds served by
// the store stand-in on 127.0.0.1, beside the RSS library doing the same work
// without the window (the exported call over a feed list, and the single-feed
// update on plain entries), each into a fresh folder. During the screen's
// update a 10 ms window timer records the longest gap between its ticks, which
// is how long the window went without processing its messages. Then the news
// screen is shown and its list, a full page of feeds, drawn 100 times.
// Prints one table with the load average at start and end; exits 1 when a run
// could not be completed (a feed failed, the menu was not reached).

#include <QApplication>
#include <QEvent>
#include <QPixmap>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/TimerService.h"
#include "bench/support/FeedDocuments.h"
#include "bench/support/StoreServerProcess.h"
#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/FeedFetcher.h"

using namespace quillbox;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFeeds = 1000;
constexpr int kItemsPerFeed = 50;
constexpr int kTickerMs = 10;
constexpr int kDrawings = 100;
constexpr auto kMenuDeadline = std::chrono::seconds(30);

double millisecondsOf(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(file >> one >> five >> fifteen)) {
        return "unknown";
    }
    return one + " " + five + " " + fifteen;
}

std::string feedName(int feed) {
    return "feed" + std::to_string(feed) + ".xml";
}

void checkTitle(const TRSSItem& entry, int feed, const char* run) {
    if (fieldText(entry.Title) != "Feed " + std::to_string(feed)) {
        throw std::runtime_error(std::string(run) + ": feed " + std::to_string(feed) +
                                 " came back without its title");
    }
}

TRSSItem entryFor(const std::string& url) {
    TRSSItem entry;
    std::memset(&entry, 0, sizeof entry);
    setFieldText(entry.URL, url);
    return entry;
}

// Appends every address to a library-owned list; throws when one is refused.
void fillList(TRSSList& list, const std::vector<std::string>& urls) {
    for (const std::string& url : urls) {
        const TRSSItem entry = entryFor(url);
        if (AddToRSSList(static_cast<std::uint16_t>(list.Count + 1), &entry, &list) != kRssOk) {
            throw std::runtime_error("the feed list refused a feed");
        }
    }
}

// The single-feed update on entries of no list, one after the other (ms).
double singleFeedUpdates(const std::vector<std::string>& urls, const std::string& folder) {
    std::vector<TRSSItem> entries;
    for (const std::string& url : urls) {
        entries.push_back(entryFor(url));
    }
    const rss::UpdateOptions options;
    const Clock::time_point start = Clock::now();
    for (TRSSItem& entry : entries) {
        if (rss::updateFeed(entry, folder, options) != kRssOk) {
            throw std::runtime_error("single-feed update: a feed failed");
        }
    }
    const double took = millisecondsOf(Clock::now() - start);
    for (std::size_t feed = 0; feed < entries.size(); ++feed) {
        checkTitle(entries[feed], static_cast<int>(feed), "single-feed update");
    }
    return took;
}

// A feed list owned by the library, freed with DeleteRSSList.
struct LibraryList {
    TRSSList list{};
    ~LibraryList() { DeleteRSSList(&list); }
};

// The program's way without the window: LoadRSSNewsFromURL feed by feed over a
// list made with AddToRSSList (ms).
double exportedCallOverList(const std::vector<std::string>& urls, const std::string& folder) {
    auto holder = std::make_unique<LibraryList>();
    fillList(holder->list, urls);
    TUserData userData;
    std::memset(&userData, 0, sizeof userData);
    const Clock::time_point start = Clock::now();
    for (int feed = 0; feed < holder->list.Count; ++feed) {
        if (LoadRSSNewsFromURL(holder->list.Items[feed], folder.c_str(), &userData, nullptr,
                               nullptr, 0) != kRssOk) {
            throw std::runtime_error("LoadRSSNewsFromURL: feed " + std::to_string(feed) +
                                     " failed");
        }
    }
    const double took = millisecondsOf(Clock::now() - start);
    for (int feed = 0; feed < holder->list.Count; ++feed) {
        checkTitle(*holder->list.Items[feed], feed, "LoadRSSNewsFromURL");
    }
    return took;
}

// Notes the moment a widget is first shown after arm() (the update's message).
class ShowWatch : public QObject {
  public:
    explicit ShowWatch(QObject* watched) : QObject(watched) { watched->installEventFilter(this); }
    void arm() { shownAt.reset(); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !shownAt) {
            shownAt = Clock::now();
        }
        return false;
    }
    std::optional<Clock::time_point> shownAt;
};

struct ScreenFigures {
    double totalMs = 0;
    double messageWaitMs = 0;  // the message's designed wait, taken off the total
    double untilMessageMs = 0;
    std::uint64_t ticks = 0;
    double longestGapMs = 0;
    int gapsOver50Ms = 0;
    double firstDrawMs = 0;
    std::vector<double> drawMs;
};

// The window from its start to the menu, the update action over the list and
// the news screen's list drawn; throws when a step fails.
ScreenFigures screenRun(const std::vector<std::string>& urls, const std::string& dataFolder) {
    app::StartOptions options;
    options.languageFolder = QUILLBOX_LANGUAGE_DIR;
    options.dataFolder = dataFolder;
    app::TForm1 window(std::move(options));
    app::TimerService& timers = app::TimerService::instance();
    QWidget* menu = window.control("MenuPanel");
    const Clock::time_point deadline = Clock::now() + kMenuDeadline;
    timers.waitUntil(
        [&] { return (window.CurrentPanel == menu && !window.busy()) || Clock::now() > deadline; });
    if (menu == nullptr || window.CurrentPanel != menu) {
        throw std::runtime_error("the menu was not reached");
    }
    fillList(*window.RSSList, urls);

    QWidget* messageBox = window.control("ErrorPanel");
    if (messageBox == nullptr) {
        throw std::runtime_error("the window has no message box");
    }
    auto* watch = new ShowWatch(messageBox);
    ScreenFigures figures;
    Clock::time_point lastTick;
    app::WindowTimer ticker(kTickerMs, false, [&] {
        const Clock::time_point now = Clock::now();
        const double gap = millisecondsOf(now - lastTick);
        figures.longestGapMs = std::max(figures.longestGapMs, gap);
        figures.gapsOver50Ms += gap > 50 ? 1 : 0;
        lastTick = now;
    });
    watch->arm();
    const Clock::time_point start = Clock::now();
    lastTick = start;
    ticker.setEnabled(true);
    window.RSSUpdateClick();
    const Clock::time_point end = Clock::now();
    ticker.setEnabled(false);
    figures.ticks = ticker.ticks();
    figures.totalMs = millisecondsOf(end - start);
    figures.messageWaitMs = window.ErrorTimer.interval();
    if (!watch->shownAt) {
        throw std::runtime_error("the update ended without its message");
    }
    figures.untilMessageMs = millisecondsOf(*watch->shownAt - start);
    if (fieldText(window.ErrorText) != window.Languages.LanguageStrings[39]) {
        throw std::runtime_error("the update reported a failure");
    }
    for (int feed = 0; feed < window.RSSList->Count; ++feed) {
        checkTitle(*window.RSSList->Items[feed], feed, "screen");
    }

    // The news screen on its first page: ten feeds.
    window.RSSPage = 0;
    window.RSSInfoBar();
    window.SetScreenPanel(window.control("RSSPanel"));
    QCoreApplication::processEvents();
    QWidget* list = window.control("RSSListBox");
    if (list == nullptr || !list->isVisible()) {
        throw std::runtime_error("the news screen's list is not shown");
    }
    const auto draw = [list] {
        const Clock::time_point from = Clock::now();
        const QPixmap picture = list->grab();
        const double took = millisecondsOf(Clock::now() - from);
        if (picture.isNull() || picture.size() != list->size() * picture.devicePixelRatio()) {
            throw std::runtime_error("the list was not drawn");
        }
        return took;
    };
    figures.firstDrawMs = draw();
    for (int drawing = 0; drawing < kDrawings; ++drawing) {
        figures.drawMs.push_back(draw());
    }
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string loadAtStart = loadAverage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    char pattern[] = "/tmp/quillbox-news-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::fprintf(stderr, "news_bench: cannot create a work folder\n");
        return 1;
    }
    const std::string work = std::string(pattern) + "/";
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(work + "config"));
    const std::string feeds = work + "feeds/";
    std::filesystem::create_directories(feeds);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    for (int feed = 0; feed < kFeeds; ++feed) {
        std::ofstream(feeds + feedName(feed)) << bench::feedDocument(feed, kItemsPerFeed, now);
    }
    QApplication application(argc, argv);

    int result = 0;
    std::optional<double> single;
    std::optional<double> exported;
    std::optional<ScreenFigures> screen;
    try {
        const bench::StoreServerProcess server({"--static", feeds});
        std::vector<std::string> urls;
        for (int feed = 0; feed < kFeeds; ++feed) {
            urls.push_back(server.baseUrl() + feedName(feed));
        }
        std::fprintf(stderr, "news_bench: single-feed update\n");
        std::filesystem::create_directories(work + "single/RSS/");
        single = singleFeedUpdates(urls, work + "single/RSS/");
        std::fprintf(stderr, "news_bench: LoadRSSNewsFromURL over a list\n");
        std::filesystem::create_directories(work + "list/RSS/");
        exported = exportedCallOverList(urls, work + "list/RSS/");
        std::fprintf(stderr, "news_bench: the window's update action\n");
        screen = screenRun(urls, work + "window/");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "news_bench: %s\n", error.what());
        result = 1;
    }
    std::filesystem::remove_all(work);

    const auto perFeed = [](double ms) { return ms / kFeeds; };
    std::printf(
        "\n%d feeds of %d items (about 50 KB) from the store stand-in on 127.0.0.1, "
        "first fetch, real time\n",
        kFeeds, kItemsPerFeed);
    std::printf("%-44s %12s %12s\n", "run (wall time)", "total", "per feed");
    if (single) {
        std::printf("%-44s %9.0f ms %9.3f ms\n", "library: single-feed update, plain entries",
                    *single, perFeed(*single));
    }
    if (exported) {
        std::printf("%-44s %9.0f ms %9.3f ms\n", "library: LoadRSSNewsFromURL over a list",
                    *exported, perFeed(*exported));
    }
    if (screen) {
        const double workMs = screen->totalMs - screen->messageWaitMs;
        std::printf("%-44s %9.0f ms\n", "screen: update action, whole", screen->totalMs);
        std::printf("%-44s %9.0f ms %9.3f ms\n", "screen: update action minus the 2 s message",
                    workMs, perFeed(workMs));
        std::printf("%-44s %9.0f ms %9.3f ms\n", "screen: update action until the message",
                    screen->untilMessageMs, perFeed(screen->untilMessageMs));
        if (exported && *exported > 0) {
            std::printf("%-44s %11.3fx (goal: under 1.10x)\n", "screen / LoadRSSNewsFromURL",
                        workMs / *exported);
        }
        if (single && *single > 0) {
            std::printf("%-44s %11.3fx\n", "screen / single-feed update", workMs / *single);
        }
        std::printf("%-44s %9llu    expected about %.0f\n", "10 ms timer ticks during the update",
                    static_cast<unsigned long long>(screen->ticks), screen->totalMs / kTickerMs);
        std::printf("%-44s %9.1f ms (goal: at most 50 ms)\n", "longest gap between two ticks",
                    screen->longestGapMs);
        std::printf("%-44s %9d\n", "gaps over 50 ms", screen->gapsOver50Ms);
        std::vector<double> times = screen->drawMs;
        std::sort(times.begin(), times.end());
        std::printf("%-44s %9.2f ms\n", "news list, first drawing", screen->firstDrawMs);
        std::printf("%-44s %9.2f ms median, %.2f ms slowest of %d (goal: under 5 ms)\n",
                    "news list, a full page drawn (grab)", times[times.size() / 2], times.back(),
                    kDrawings);
    }
    std::printf("load average (1, 5, 15 min): at start %s, at end %s\n", loadAtStart.c_str(),
                loadAverage().c_str());
    return result;
}
