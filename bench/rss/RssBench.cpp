// The feed side at its limits: updating 1000 feeds of 50 items served by the
// store stand-in on 127.0.0.1 (first fetch, then unchanged feeds answered with
// 304), and converting 1000 feeds x 50 undelivered items into one FB2 book.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/FeedDocuments.h"
#include "bench/support/StoreServerProcess.h"
#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/BookBuilder.h"
#include "rss/FeedFetcher.h"
#include "rss/FeedList.h"
#include "rss/NewsStore.h"

using namespace quillbox;

namespace {

constexpr int kFeeds = 1000;
constexpr int kItemsPerFeed = 50;

std::string g_work;
std::string g_server;

std::string numbered(const char* prefix, int number) {
    std::string text(prefix);
    text += std::to_string(number);
    return text;
}

std::int64_t now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::vector<TRSSItem> feedEntries() {
    std::vector<TRSSItem> entries(kFeeds);
    for (int feed = 0; feed < kFeeds; ++feed) {
        std::memset(&entries[feed], 0, sizeof(TRSSItem));
        setFieldText(entries[feed].URL, g_server + numbered("feed", feed) + ".xml");
    }
    return entries;
}

void updateAll(std::vector<TRSSItem>& entries, const std::string& rssFolder) {
    const rss::UpdateOptions options;
    for (TRSSItem& entry : entries) {
        if (rss::updateFeed(entry, rssFolder, options) != kRssOk) {
            throw std::runtime_error("a feed failed to update");
        }
    }
}

void BM_UpdateFirstFetch(benchmark::State& state) {
    std::vector<TRSSItem> entries = feedEntries();
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string folder = g_work + numbered("first", run++) + "/RSS/";
        state.ResumeTiming();
        updateAll(entries, folder);
        state.PauseTiming();
        std::filesystem::remove_all(g_work + numbered("first", run - 1));
        state.ResumeTiming();
    }
    state.counters["per_feed"] = benchmark::Counter(
        kFeeds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_UpdateUnchanged(benchmark::State& state) {
    std::vector<TRSSItem> entries = feedEntries();
    const std::string folder = g_work + "unchanged/RSS/";
    updateAll(entries, folder);  // the first fetch, not measured
    for (auto _ : state) {
        updateAll(entries, folder);
    }
    state.counters["per_feed"] = benchmark::Counter(
        kFeeds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Stores of 1000 feeds x 50 undelivered items, written directly.
TRSSList* convertList(const std::string& rssFolder) {
    static TRSSList list{};
    if (list.Count > 0) {
        return &list;
    }
    const std::int64_t time = now();
    for (int feed = 0; feed < kFeeds; ++feed) {
        const std::string url = numbered("http://example.test/feed", feed) + ".xml";
        rss::FeedStore store;
        store.identity = rss::feedIdentity(url);
        store.title = numbered("Лента ", feed);
        std::vector<rss::ParsedItem> items;
        for (int item = 0; item < kItemsPerFeed; ++item) {
            rss::ParsedItem parsed;
            parsed.title = numbered("Новость ", item);
            parsed.link = url + numbered("/", item);
            parsed.published = time - item * 60;
            parsed.contentHtml = quillbox::bench::newsItemHtml(feed, item);
            items.push_back(std::move(parsed));
        }
        rss::mergeItems(store, items, time, rss::StoreLimits{});
        if (!rss::saveStore(rss::storePath(rssFolder, store.identity), store).ok()) {
            throw std::runtime_error("cannot write a store");
        }
        TRSSItem entry{};
        setFieldText(entry.URL, url);
        rss::insertFeed(list, list.Count + 1, entry);
    }
    return &list;
}

void BM_ConvertBook(benchmark::State& state) {
    const std::string rssFolder = g_work + "convert/RSS/";
    const std::string fb2Folder = g_work + "convert/FB2/";
    TRSSList* list = convertList(rssFolder);
    double bytes = 0;
    for (auto _ : state) {
        std::string name;
        if (rss::convertToBook(*list, rssFolder, fb2Folder, now(), name) != kRssOk) {
            state.SkipWithError("no book was written");
            break;
        }
        state.PauseTiming();
        bytes = static_cast<double>(std::filesystem::file_size(fb2Folder + name));
        std::filesystem::remove(fb2Folder + name);
        std::filesystem::remove(rssFolder + "pending/" + name + ".list");
        state.ResumeTiming();
    }
    state.counters["book_MiB"] = bytes / (1024.0 * 1024.0);
    state.counters["items"] = kFeeds * kItemsPerFeed;
}

// Wall time: waiting for the network is part of an update.
BENCHMARK(BM_UpdateFirstFetch)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_UpdateUnchanged)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ConvertBook)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/quillbox-rss-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    g_work = std::string(pattern) + "/";
    const std::string feeds = g_work + "feeds/";
    std::filesystem::create_directories(feeds);
    for (int feed = 0; feed < kFeeds; ++feed) {
        std::ofstream(feeds + numbered("feed", feed) + ".xml")
            << quillbox::bench::feedDocument(feed, kItemsPerFeed, now());
    }
    {
        const quillbox::bench::StoreServerProcess server({"--static", feeds});
        g_server = server.baseUrl();
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    std::filesystem::remove_all(g_work);
    return 0;
}
