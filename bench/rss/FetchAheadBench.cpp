// Fetching 1000 feeds of about 50 KB for the first time from 16 hosts: store
// stand-ins on 127.0.0.1 ... 127.0.0.16, feed k on host k % 16, once with
// 100 ms before every answer (a distant host) and once without (loopback speed).
// Side by side in one run, each on a fresh RSS folder:
//   - the program's way: LoadRSSNewsFromURL feed by feed over a TRSSList,
//   - the single-feed update (rss::updateFeed) one feed at a time,
//   - the curl command, 8 transfers at a time over the same addresses.
// Prints the wall time of each and the ratio library / curl in one table, with
// the machine's load average at start and end. Exits 1 when a run could not be
// completed (a feed failed), else 0.

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/FeedDocuments.h"
#include "bench/support/Spawn.h"
#include "bench/support/StoreServerProcess.h"
#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/FeedFetcher.h"

using namespace quillbox;

namespace {

constexpr int kFeeds = 1000;
constexpr int kHosts = 16;
constexpr int kItemsPerFeed = 50;
constexpr int kDelayMs = 100;
constexpr int kCurlParallel = 8;

using Clock = std::chrono::steady_clock;

std::string g_work;

std::string feedName(int feed) {
    return "feed" + std::to_string(feed) + ".xml";
}

std::string expectedTitle(int feed) {
    return "Feed " + std::to_string(feed);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(file >> one >> five >> fifteen)) {
        return "unknown";
    }
    return one + " " + five + " " + fifteen;
}

// A fresh RSS folder (system path, trailing '/') for one run.
std::string freshFolder(const std::string& run) {
    const std::string folder = g_work + run + "/RSS/";
    std::filesystem::remove_all(g_work + run);
    std::filesystem::create_directories(folder);
    return folder;
}

void checkTitle(const TRSSItem& entry, int feed) {
    if (fieldText(entry.Title) != expectedTitle(feed)) {
        throw std::runtime_error("feed " + std::to_string(feed) + " came back without its title");
    }
}

// The 16 hosts, each serving every feed document.
class Hosts {
  public:
    Hosts(const std::string& feedFolder, int delayMs) {
        std::vector<std::string> arguments{"--static", feedFolder};
        if (delayMs > 0) {
            arguments.insert(arguments.end(),
                             {"--rule", "static:delay=" + std::to_string(delayMs)});
        }
        for (int host = 0; host < kHosts; ++host) {
            m_servers.push_back(std::make_unique<bench::StoreServerProcess>(
                arguments, "127.0.0." + std::to_string(host + 1)));
        }
    }

    std::vector<std::string> feedUrls() const {
        std::vector<std::string> urls;
        for (int feed = 0; feed < kFeeds; ++feed) {
            urls.push_back(m_servers[feed % kHosts]->baseUrl() + feedName(feed));
        }
        return urls;
    }

  private:
    std::vector<std::unique_ptr<bench::StoreServerProcess>> m_servers;
};

// A feed list owned by the library, freed with DeleteRSSList.
struct LibraryList {
    TRSSList list{};
    ~LibraryList() { DeleteRSSList(&list); }
};

// The program's way: the feeds in a TRSSList, LoadRSSNewsFromURL for each in order.
double libraryFeedByFeed(const std::vector<std::string>& urls, const std::string& run) {
    auto holder = std::make_unique<LibraryList>();
    for (const std::string& url : urls) {
        TRSSItem entry;
        std::memset(&entry, 0, sizeof entry);
        setFieldText(entry.URL, url);
        if (AddToRSSList(static_cast<std::uint16_t>(holder->list.Count + 1), &entry,
                         &holder->list) != kRssOk) {
            throw std::runtime_error("the feed list refused a feed");
        }
    }
    TUserData userData;
    std::memset(&userData, 0, sizeof userData);
    const std::string folder = freshFolder(run);
    const Clock::time_point start = Clock::now();
    for (int feed = 0; feed < holder->list.Count; ++feed) {
        const std::uint8_t result = LoadRSSNewsFromURL(holder->list.Items[feed], folder.c_str(),
                                                       &userData, nullptr, nullptr, 0);
        if (result != kRssOk) {
            throw std::runtime_error("feed " + std::to_string(feed) + " failed with " +
                                     std::to_string(result));
        }
    }
    const double seconds = secondsSince(start);
    for (int feed = 0; feed < holder->list.Count; ++feed) {
        checkTitle(*holder->list.Items[feed], feed);
    }
    std::filesystem::remove_all(g_work + run);
    return seconds;
}

// The single-feed update on entries of no list, one after the other.
double oneAtATime(const std::vector<std::string>& urls, const std::string& run) {
    std::vector<TRSSItem> entries(urls.size());
    for (std::size_t feed = 0; feed < urls.size(); ++feed) {
        std::memset(&entries[feed], 0, sizeof(TRSSItem));
        setFieldText(entries[feed].URL, urls[feed]);
    }
    const rss::UpdateOptions options;
    const std::string folder = freshFolder(run);
    const Clock::time_point start = Clock::now();
    for (std::size_t feed = 0; feed < entries.size(); ++feed) {
        const std::uint8_t result = rss::updateFeed(entries[feed], folder, options);
        if (result != kRssOk) {
            throw std::runtime_error("feed " + std::to_string(feed) + " failed with " +
                                     std::to_string(result));
        }
    }
    const double seconds = secondsSince(start);
    for (std::size_t feed = 0; feed < entries.size(); ++feed) {
        checkTitle(entries[feed], static_cast<int>(feed));
    }
    std::filesystem::remove_all(g_work + run);
    return seconds;
}

// Runs a command and returns what it wrote on stdout; throws when it cannot be
// started or does not exit with 0.
std::string commandOutput(std::vector<std::string> words) {
    const bench::Spawned command = bench::spawnReadingOutput(words);
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(command.output, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(command.output);
    int status = 0;
    ::waitpid(command.pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(words[0] + " failed");
    }
    return text;
}

// The curl command over the same addresses, kCurlParallel transfers at a time,
// asking for compression as the library does; every transfer must answer 200.
// (-s does not silence the progress meter of --parallel in every curl release.)
double curlParallel(const std::vector<std::string>& urls) {
    const std::string config = g_work + "curl.conf";
    {
        std::ofstream file(config);
        for (const std::string& url : urls) {
            file << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
        }
    }
    const Clock::time_point start = Clock::now();
    const std::string codes =
        commandOutput({"curl", "-q", "--parallel", "--parallel-max", std::to_string(kCurlParallel),
                       "--no-progress-meter", "--compressed", "--noproxy", "*", "-w",
                       "%{http_code}\\n", "-K", config});
    const double seconds = secondsSince(start);
    std::istringstream lines(codes);
    std::string code;
    int answered = 0;
    while (std::getline(lines, code)) {
        if (code != "200") {
            throw std::runtime_error("curl got status " + code);
        }
        ++answered;
    }
    if (answered != static_cast<int>(urls.size())) {
        throw std::runtime_error("curl answered " + std::to_string(answered) + " of " +
                                 std::to_string(urls.size()) + " transfers");
    }
    return seconds;
}

struct Row {
    std::string name;
    std::optional<double> seconds[2];  // with the delay, without
};

std::string cell(const std::optional<double>& seconds) {
    char text[32];
    if (!seconds) {
        return "failed";
    }
    std::snprintf(text, sizeof text, "%.2f s", *seconds);
    return text;
}

}  // namespace

int main() {
    const std::string loadAtStart = loadAverage();
    char pattern[] = "/tmp/quillbox-fetch-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::fprintf(stderr, "cannot create a work folder\n");
        return 1;
    }
    g_work = std::string(pattern) + "/";
    const std::string feeds = g_work + "feeds/";
    std::filesystem::create_directories(feeds);
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    for (int feed = 0; feed < kFeeds; ++feed) {
        std::ofstream(feeds + feedName(feed)) << bench::feedDocument(feed, kItemsPerFeed, now);
    }

    Row rows[] = {{"library, feed by feed", {}},
                  {"one at a time (old path)", {}},
                  {"curl " + std::to_string(kCurlParallel) + " at a time", {}}};
    bool failed = false;
    const int delays[2] = {kDelayMs, 0};
    for (int column = 0; column < 2; ++column) {
        const char* condition = column == 0 ? "delay" : "loopback";
        std::fprintf(stderr, "%s: starting %d hosts\n", condition, kHosts);
        try {
            const Hosts hosts(feeds, delays[column]);
            const std::vector<std::string> urls = hosts.feedUrls();
            for (int row = 0; row < 3; ++row) {
                std::fprintf(stderr, "%s: %s\n", condition, rows[row].name.c_str());
                try {
                    const std::string run = std::string(condition) + "-" + std::to_string(row);
                    rows[row].seconds[column] = row == 0   ? libraryFeedByFeed(urls, run)
                                                : row == 1 ? oneAtATime(urls, run)
                                                           : curlParallel(urls);
                } catch (const std::exception& error) {
                    std::fprintf(stderr, "%s, %s: %s\n", condition, rows[row].name.c_str(),
                                 error.what());
                    failed = true;
                }
            }
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", condition, error.what());
            failed = true;
        }
    }
    std::filesystem::remove_all(g_work);

    std::printf("\n%d feeds of %d items (about 50 KB) from %d hosts on 127.0.0.x, first fetch\n",
                kFeeds, kItemsPerFeed, kHosts);
    std::printf("%-28s %14s %14s\n", "run (wall time)", "100 ms delay", "no delay");
    for (const Row& row : rows) {
        std::printf("%-28s %14s %14s\n", row.name.c_str(), cell(row.seconds[0]).c_str(),
                    cell(row.seconds[1]).c_str());
    }
    std::printf("%-28s", "library / curl");
    for (int column = 0; column < 2; ++column) {
        const auto& library = rows[0].seconds[column];
        const auto& curl = rows[2].seconds[column];
        if (library && curl && *curl > 0) {
            std::printf(" %13.2fx", *library / *curl);
        } else {
            std::printf(" %14s", "-");
        }
    }
    std::printf("\nload average (1, 5, 15 min): at start %s, at end %s\n", loadAtStart.c_str(),
                loadAverage().c_str());
    return failed ? 1 : 0;
}
