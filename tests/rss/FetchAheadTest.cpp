// Fetching the next feeds of the list ahead: the same results and stores as
// one feed at a time, nothing used from an answer fetched for another address,
// nothing stored past a failure that stops the update, memory within its bound,
// a stop that ends every transfer, and no more than two connections a host.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/Http.h"
#include "rss/FeedList.h"
#include "rss/FetchAhead.h"
#include "rss/NewsStore.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/rss/ServedFeeds.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ProxyFixture.h"

namespace quillbox::test {
namespace {

using std::chrono::milliseconds;

// A feed list kept by the library's core, so that fetching ahead knows it.
class KeptList {
  public:
    explicit KeptList(const std::vector<std::string>& urls) : m_list(std::make_unique<TRSSList>()) {
        std::memset(m_list.get(), 0, sizeof(TRSSList));
        for (const std::string& url : urls) {
            const TRSSItem entry = makeEntry(url);
            rss::insertFeed(*m_list, static_cast<std::uint16_t>(m_list->Count + 1), entry);
        }
    }
    ~KeptList() { rss::clearFeedList(*m_list); }
    KeptList(const KeptList&) = delete;
    KeptList& operator=(const KeptList&) = delete;

    TRSSList& list() { return *m_list; }
    TRSSItem& at(std::size_t index) { return *m_list->Items[index]; }
    std::size_t size() const { return m_list->Count; }

  private:
    std::unique_ptr<TRSSList> m_list;
};

// The test's limits, and the library's own again afterwards; nothing fetched
// ahead outlives the test.
class LimitsForTest {
  public:
    explicit LimitsForTest(const rss::AheadLimits& limits) : m_saved(rss::aheadLimits()) {
        rss::setAheadLimits(limits);
        rss::resetAheadFigures();
    }
    ~LimitsForTest() { rss::setAheadLimits(m_saved); }
    LimitsForTest(const LimitsForTest&) = delete;
    LimitsForTest& operator=(const LimitsForTest&) = delete;

  private:
    rss::AheadLimits m_saved;
};

rss::UpdateOptions quickOptions(std::int64_t now) {
    rss::UpdateOptions options;
    options.now = now;
    options.network.connectTimeout = milliseconds(2000);
    options.network.stallTimeout = milliseconds(1500);
    return options;
}

struct UpdateRun {
    std::vector<int> results;
    std::vector<std::string> titles;
};

UpdateRun updateEach(KeptList& feeds, const std::string& folder, const rss::UpdateOptions& options,
                     bool ahead) {
    UpdateRun run;
    for (std::size_t i = 0; i < feeds.size(); ++i) {
        TRSSItem& entry = feeds.at(i);
        run.results.push_back(ahead ? rss::updateFeedInList(entry, folder, options)
                                    : rss::updateFeed(entry, folder, options));
        run.titles.emplace_back(fieldText(entry.Title));
    }
    return run;
}

std::string feedOf(const std::string& title, std::int64_t now) {
    return rss20(title, {{"id-" + title, "News of " + title, "http://example.test/" + title,
                          now - 600, "<p>Text of " + title + "</p>"}});
}

// Serves count feeds f0.xml, f1.xml, ... titled F0, F1, ... and returns their
// addresses in order.
std::vector<std::string> serveNumbered(ServedFeeds& served, int count, std::int64_t now) {
    std::vector<std::string> urls;
    for (int i = 0; i < count; ++i) {
        const std::string name = "f" + std::to_string(i) + ".xml";
        served.put(name, feedOf("F" + std::to_string(i), now));
        urls.push_back(served.url(name));
    }
    return urls;
}

// Whether any file of the feed's store (news, keys, failure) is below folder.
bool anythingStoredFor(const std::string& folder, const std::string& url) {
    const std::string store = rss::storePath(folder, rss::feedIdentity(url));
    const std::string stem = store.substr(0, store.rfind('.'));
    for (const auto& [path, bytes] : folderTree(folder)) {
        if ((folder + path).rfind(stem, 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(FetchAhead, SameResultsTitlesAndStoresAsOneFeedAtATime) {
    ServedFeeds quick;
    ServedFeeds silent({}, {"--rule", "static:delay=4000"});
    ServedFeeds slow({}, {"--rule", "static:delay=300"});
    ASSERT_TRUE(quick.running() && silent.running() && slow.running()) << quick.error();
    const std::int64_t now = nowSeconds();
    for (int i = 0; i < 6; ++i) {
        quick.put("f" + std::to_string(i) + ".xml", feedOf("Q" + std::to_string(i), now));
    }
    quick.put("page.html", "<html><body><p>No feed here.</p></body></html>");
    silent.put("f.xml", feedOf("Silent", now));
    slow.put("f.xml", feedOf("Slow", now));
    slow.put("g.xml", feedOf("Slow too", now));
    const std::string refused = "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/f.xml";
    KeptList feeds({quick.url("f0.xml"), silent.url("f.xml"), quick.url("f1.xml"),
                    quick.url("missing.xml"), slow.url("f.xml"), quick.url("page.html"), refused,
                    quick.url("f2.xml"), quick.url("f3.xml"), slow.url("g.xml"),
                    quick.url("f4.xml"), quick.url("f5.xml")});
    const std::vector<int> expected = {kRssOk,
                                       kRssHostUnreachable,
                                       kRssOk,
                                       kRssNoDocument,
                                       kRssOk,
                                       kRssNotAFeed,
                                       kRssHostUnreachable,
                                       kRssOk,
                                       kRssOk,
                                       kRssOk,
                                       kRssOk,
                                       kRssOk};
    const LimitsForTest limits{rss::AheadLimits{}};
    TempDir alone;
    TempDir ahead;
    // The second round finds the feeds unchanged (304).
    for (int round = 0; round < 2; ++round) {
        const rss::UpdateOptions options = quickOptions(now + round * 60);
        const UpdateRun one = updateEach(feeds, alone.path(), options, false);
        const UpdateRun many = updateEach(feeds, ahead.path(), options, true);
        EXPECT_EQ(one.results, expected) << "round " << round;
        EXPECT_EQ(many.results, one.results) << "round " << round;
        EXPECT_EQ(many.titles, one.titles) << "round " << round;
        EXPECT_EQ(folderTree(ahead.path()), folderTree(alone.path())) << "round " << round;
    }
    EXPECT_GE(rss::aheadFigures().used, 10u);
    EXPECT_EQ(rss::aheadFigures().heldBytes, 0u);
}

TEST(FetchAhead, AnEditedListNeverGetsAnAnswerFetchedForAnotherAddress) {
    ServedFeeds served({}, {"--rule", "static:delay=100"});
    ASSERT_TRUE(served.running()) << served.error();
    const std::int64_t now = nowSeconds();
    for (const char* name : {"A", "B", "C", "D", "E"}) {
        served.put(std::string(name) + ".xml", feedOf(name, now));
    }
    KeptList feeds(
        {served.url("A.xml"), served.url("B.xml"), served.url("C.xml"), served.url("D.xml")});
    const LimitsForTest limits{rss::AheadLimits{}};
    TempDir folder;
    const rss::UpdateOptions options = quickOptions(now);
    ASSERT_EQ(rss::updateFeedInList(feeds.at(0), folder.path(), options), kRssOk);

    // B gives way to E at the same position after B was fetched ahead.
    ASSERT_EQ(rss::removeFeed(feeds.list(), 2), kRssOk);
    const TRSSItem e = makeEntry(served.url("E.xml"));
    ASSERT_EQ(rss::insertFeed(feeds.list(), 2, e), kRssOk);
    EXPECT_EQ(rss::updateFeedInList(feeds.at(1), folder.path(), options), kRssOk);
    EXPECT_EQ(fieldText(feeds.at(1).Title), "E");

    // C's address is changed behind the library's back after C was fetched ahead.
    setFieldText(feeds.at(2).URL, served.url("B.xml"));
    EXPECT_EQ(rss::updateFeedInList(feeds.at(2), folder.path(), options), kRssOk);
    EXPECT_EQ(fieldText(feeds.at(2).Title), "B");

    EXPECT_FALSE(anythingStoredFor(folder.path(), served.url("C.xml")));
    const std::string identity = rss::feedIdentity(served.url("E.xml"));
    EXPECT_EQ(rss::loadStore(rss::storePath(folder.path(), identity), identity).title, "E");
}

TEST(FetchAhead, AnAnswerUnusedForTooLongIsFetchedAfresh) {
    ServedFeeds slow({}, {"--rule", "static:delay=300"});
    ServedFeeds quick;
    ASSERT_TRUE(slow.running() && quick.running()) << slow.error() << quick.error();
    const std::int64_t now = nowSeconds();
    slow.put("A.xml", feedOf("A", now));
    quick.put("B.xml", feedOf("Old", now));
    KeptList feeds({slow.url("A.xml"), quick.url("B.xml")});
    rss::AheadLimits limits;
    limits.maxUnused = milliseconds(200);
    const LimitsForTest scope(limits);
    TempDir folder;
    const rss::UpdateOptions options = quickOptions(now);
    ASSERT_EQ(rss::updateFeedInList(feeds.at(0), folder.path(), options), kRssOk);
    quick.put("B.xml", feedOf("New", now));  // after B's answer came ahead
    std::this_thread::sleep_for(milliseconds(400));
    EXPECT_EQ(rss::updateFeedInList(feeds.at(1), folder.path(), options), kRssOk);
    EXPECT_EQ(fieldText(feeds.at(1).Title), "New");
    EXPECT_EQ(rss::aheadFigures().dropped, 1u);
}

TEST(FetchAhead, AProxyRefusingTheLoginStopsTheUpdateWithNothingStoredPastIt) {
    ServedFeeds served;
    ProxyFixture proxy("reader", "pass-word");
    ASSERT_TRUE(served.running() && proxy.running()) << served.error() << proxy.error();
    const std::int64_t now = nowSeconds();
    const std::vector<std::string> urls = serveNumbered(served, 5, now);
    KeptList feeds(urls);
    const LimitsForTest limits{rss::AheadLimits{}};
    TempDir folder;
    rss::UpdateOptions options = quickOptions(now);
    options.network.proxy = {proxy.host(), proxy.port(), "reader", "wrong"};
    EXPECT_EQ(rss::updateFeedInList(feeds.at(0), folder.path(), options), kRssHostUnreachable);
    EXPECT_TRUE(anythingStoredFor(folder.path(), urls[0]));  // the failure, for the book
    for (std::size_t i = 1; i < urls.size(); ++i) {
        EXPECT_FALSE(anythingStoredFor(folder.path(), urls[i])) << urls[i];
    }
    EXPECT_EQ(rss::aheadFigures().heldBytes, 0u);
}

TEST(FetchAhead, AnswersHeldAheadStayWithinTheMemoryBound) {
    // Every tenth feed keeps the caller waiting while the quick ones after it
    // arrive: without the bound they would pile up.
    ServedFeeds quick;
    ServedFeeds slow({}, {"--rule", "all:delay=300"});
    ASSERT_TRUE(quick.running() && slow.running()) << quick.error() << slow.error();
    constexpr std::uint64_t kBound = 16u << 20;
    rss::AheadLimits bounded;
    bounded.maxHeldBytes = kBound;
    const LimitsForTest limits(bounded);
    std::vector<std::string> urls;
    for (int i = 0; i < 200; ++i) {
        const std::string path = "_size/1048576?feed=" + std::to_string(i);
        urls.push_back(i % 10 == 0 ? slow.url(path) : quick.url(path));
    }
    KeptList feeds(urls);
    TempDir folder;
    const rss::UpdateOptions options = quickOptions(nowSeconds());
    for (std::size_t i = 0; i < feeds.size(); ++i) {
        ASSERT_EQ(rss::updateFeedInList(feeds.at(i), folder.path(), options), kRssNotAFeed) << i;
    }
    const rss::AheadFigures figures = rss::aheadFigures();
    EXPECT_LE(figures.mostHeldBytes, kBound);
    EXPECT_GE(figures.mostHeldBytes, kBound / 2);  // the bound, not the window, held it back
    EXPECT_GE(figures.used, 150u);
    EXPECT_EQ(figures.heldBytes, 0u);
}

TEST(FetchAhead, NoMoreThanTwoConnectionsToOneHost) {
    // Twelve feeds on one host, eighteen on three other loopback addresses, five
    // transfers at once in all.
    std::vector<std::unique_ptr<ServedFeeds>> hosts;
    for (int host = 0; host < 4; ++host) {
        hosts.push_back(std::make_unique<ServedFeeds>(
            std::string(), std::vector<std::string>{"--rule", "static:delay=150", "--bind",
                                                    "127.0.0." + std::to_string(host + 1)}));
        ASSERT_TRUE(hosts.back()->running()) << hosts.back()->error();
    }
    const std::int64_t now = nowSeconds();
    std::vector<std::string> urls;
    for (int i = 0; i < 30; ++i) {
        ServedFeeds& host = *hosts[i < 12 ? 0 : 1 + i % 3];
        const std::string name = "f" + std::to_string(i) + ".xml";
        host.put(name, feedOf("F" + std::to_string(i), now));
        urls.push_back(host.url(name));
    }
    KeptList feeds(urls);
    rss::AheadLimits limits;
    limits.maxTransfers = 5;
    const LimitsForTest scope(limits);
    TempDir folder;
    rss::UpdateOptions options = quickOptions(now);
    int pumped = 0;
    options.network.pump = [&pumped] { ++pumped; };
    const UpdateRun run = updateEach(feeds, folder.path(), options, true);
    EXPECT_EQ(run.results, std::vector<int>(30, kRssOk));
    EXPECT_GE(pumped, 30);  // the window is served once a feed, also for answers that came ahead
    for (const auto& host : hosts) {
        EXPECT_LE(host->connections("most"), 2);
        EXPECT_GE(host->connections("most"), 1);  // every host was asked
    }
    EXPECT_GT(rss::aheadFigures().used, 20u);  // and most answers came ahead
}

TEST(FetchAhead, AStopEndsEveryTransferAndRecordsNothing) {
    ServedFeeds served({}, {"--rule", "static:delay=3000"});
    ASSERT_TRUE(served.running()) << served.error();
    const std::int64_t now = nowSeconds();
    const std::vector<std::string> urls = serveNumbered(served, 6, now);
    {
        KeptList feeds(urls);
        const LimitsForTest limits{rss::AheadLimits{}};
        TempDir folder;
        rss::UpdateOptions options = quickOptions(now);
        int pumped = 0;
        options.network.pump = [&pumped] {
            if (++pumped == 5) {
                throw platform::TransferCancelled();
            }
        };
        EXPECT_EQ(rss::updateFeedInList(feeds.at(0), folder.path(), options), kRssHostUnreachable);
        EXPECT_TRUE(folderTree(folder.path()).empty());
        EXPECT_EQ(rss::aheadFigures().heldBytes, 0u);
    }
    // The same through the library's face, with the application asking to stop.
    ListHolder list;
    for (const std::string& url : urls) {
        const TRSSItem entry = makeEntry(url);
        ASSERT_EQ(
            AddToRSSList(static_cast<std::uint16_t>(list.list().Count + 1), &entry, list.get()),
            kRssOk);
    }
    FakeApplication application;
    application.cancelAfterCalls = 3;
    TUserData data = userData();
    const std::string folder = served.rssFolderArgument();
    EXPECT_EQ(
        LoadRSSNewsFromURL(list.list().Items[0], folder.c_str(), &data, &application, nullptr, 0),
        kRssHostUnreachable);
    EXPECT_GE(application.cancelQueries, 1);
    EXPECT_TRUE(folderTree(served.rssFolder()).empty());
}

}  // namespace quillbox::test
