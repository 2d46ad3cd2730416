// Fetching feeds over real HTTP from the store stand-in: every shared sample,
// conditional requests, redirects, compression, limits, failures, the proxy.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/BookBuilder.h"
#include "rss/FeedFetcher.h"
#include "rss/Files.h"
#include "rss/NewsStore.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/rss/ServedFeeds.h"
#include "tests/support/FakeHost.h"
#include "tests/support/Fb2Schema.h"
#include "tests/support/ProxyFixture.h"

namespace quillbox::test {
namespace {

const std::string kFeeds = QUILLBOX_TEST_DATA_DIR "/feeds";

rss::FeedStore storeOf(ServedFeeds& served, const std::string& url) {
    const std::string identity = rss::feedIdentity(url);
    return rss::loadStore(rss::storePath(served.rssFolder(), identity), identity);
}

std::uint8_t expectedResult(const std::string& name) {
    for (const char* notAFeed :
         {"nodefeedparser__notafeed.html", "gofeed__parser_universal_unknown_feed.xml",
          "rssparser__unrecognized.rss", "feedparser__illformed_rss_empty_document.xml",
          "miniflux__xml_testdata_iso88591_utf8_mismatch.xml"}) {
        if (name == notAFeed) {
            return kRssNotAFeed;
        }
    }
    return name == "newsboat__empty.xml" ? kRssNoDocument : kRssOk;
}

std::vector<std::string> sampleNames() {
    std::vector<std::string> names;
    for (const std::string& name : filesIn(kFeeds)) {
        // A page that declares its feed on a host outside the tests: it is
        // served with that link pointed here in DiscoveryTest.
        if (name != "SOURCES.md" && name != "rome__modules_2.rss") {
            names.push_back(name);
        }
    }
    return names;
}

TEST(SharedFeeds, EveryFileIsReadOrRefusedWithTheRightResult) {
    ServedFeeds served(kFeeds);
    ASSERT_TRUE(served.running()) << served.error();
    const std::vector<std::string> names = sampleNames();
    ASSERT_EQ(names.size(), 199u);
    for (const std::string& name : names) {
        TRSSItem entry = makeEntry(served.url(name));
        EXPECT_EQ(served.fetch(entry), expectedResult(name)) << name;
        if (expectedResult(name) == kRssOk) {
            EXPECT_FALSE(fieldText(entry.Title).empty()) << name;
        }
    }
}

TEST(SharedFeeds, EverySampleMakesAValidBook) {
    ServedFeeds served(kFeeds);
    ASSERT_TRUE(served.running()) << served.error();
    rss::UpdateOptions options;
    options.limits.maxAgeSeconds = std::int64_t{100} * 365 * 86400;  // the samples are old
    int books = 0;
    for (const std::string& name : sampleNames()) {
        if (expectedResult(name) != kRssOk) {
            continue;
        }
        ListHolder holder;
        TRSSItem entry = makeEntry(served.url(name));
        ASSERT_EQ(rss::updateFeed(entry, served.rssFolder(), options), kRssOk) << name;
        ASSERT_EQ(AddToRSSList(1, &entry, holder.get()), kRssOk);
        std::string book;
        const std::uint8_t result = rss::convertToBook(holder.list(), served.rssFolder(),
                                                       served.fb2Folder(), nowSeconds(), book);
        if (storeOf(served, served.url(name)).items.empty()) {
            EXPECT_EQ(result, kRssRefused) << name;
            continue;
        }
        ASSERT_EQ(result, kRssOk) << name;
        ++books;
        const std::vector<std::string> problems = validateFb2(served.fb2Folder() + book);
        EXPECT_TRUE(problems.empty()) << name << ": " << (problems.empty() ? "" : problems[0]);
        ::unlink((served.fb2Folder() + book).c_str());
    }
    EXPECT_GT(books, 150);
}

TEST(SharedFeeds, CyrillicTitlesArriveInTheAnsiCodePage) {
    ServedFeeds served(kFeeds);
    ASSERT_TRUE(served.running()) << served.error();
    const std::string expected = ansi("Linux.org.ru: Новости");
    for (const char* name : {"kde__rss2_linux_org_ru.xml", "derived__kde_linux_org_ru.koi8-r.xml",
                             "derived__kde_linux_org_ru.windows-1251.xml",
                             "derived__kde_linux_org_ru.utf-8_declared_windows-1251.xml"}) {
        TRSSItem entry = makeEntry(served.url(name));
        ASSERT_EQ(served.fetch(entry), kRssOk) << name;
        EXPECT_EQ(std::string(fieldText(entry.Title)), expected) << name;
        const rss::FeedStore store = storeOf(served, served.url(name));
        ASSERT_EQ(store.items.size(), 0u) << "the sample's items are years old";
    }
    // The HTTP charset decides for a document that declares nothing.
    TRSSItem koi = makeEntry(served.url("feedparser__illformed_chardet_koi8r.xml?charset=koi8-r"));
    EXPECT_EQ(served.fetch(koi), kRssOk);
    TRSSItem ibash = makeEntry(served.url("miniflux__parser_testdata_encoding_WINDOWS-1251.xml"));
    ASSERT_EQ(served.fetch(ibash), kRssOk);
    EXPECT_EQ(std::string(fieldText(ibash.Title)), "iBash.Org.Ru");
}

TEST(Conditional, AnUnchangedFeedCostsOneShortAnswer) {
    ServedFeeds served;
    ASSERT_TRUE(served.running()) << served.error();
    const std::int64_t now = nowSeconds();
    served.put("feed.xml",
               rss20("Feed", {{"", "First", "http://example.test/1", now - 60, "one"}}));
    TRSSItem entry = makeEntry(served.url("feed.xml"));
    ASSERT_EQ(served.fetch(entry), kRssOk);
    EXPECT_EQ(storeOf(served, served.url("feed.xml")).items.size(), 1u);

    // Same size and times: the server's ETag stays, so only a conditional
    // request can miss the new item.
    served.resetLog();
    served.replaceKeepingTag(
        "feed.xml", rss20("Feed", {{"", "Fresh", "http://example.test/2", now - 60, "one"}}));
    ASSERT_EQ(served.fetch(entry), kRssOk);
    EXPECT_NE(served.requestLog().find("If-None-Match:"), std::string::npos);
    const rss::FeedStore store = storeOf(served, served.url("feed.xml"));
    ASSERT_EQ(store.items.size(), 1u);
    EXPECT_EQ(store.items[0].title, "First");
    EXPECT_EQ(std::string(fieldText(entry.Title)), "Feed");

    // A real change is fetched in full.
    served.put("feed.xml",
               rss20("Feed", {{"", "Fresh", "http://example.test/2", now - 30, "two"},
                              {"", "First", "http://example.test/1", now - 60, "one"}}));
    ASSERT_EQ(served.fetch(entry), kRssOk);
    EXPECT_EQ(storeOf(served, served.url("feed.xml")).items.size(), 2u);
}

TEST(Transport, RedirectsCompressionAndTheSizeCap) {
    ServedFeeds served;
    ASSERT_TRUE(served.running()) << served.error();
    served.put("feed.xml",
               rss20("Moved feed", {{"", "A", "/a", nowSeconds(), "<img src=\"x.png\">"}}));
    TRSSItem five = makeEntry(served.url("_redirect/5/feed.xml"));
    ASSERT_EQ(served.fetch(five), kRssOk);
    EXPECT_EQ(std::string(fieldText(five.Title)), "Moved feed");
    // Links resolve against the site's address the feed gives.
    const rss::FeedStore store = storeOf(served, served.url("_redirect/5/feed.xml"));
    ASSERT_EQ(store.items.size(), 1u);
    EXPECT_EQ(store.items[0].link, "http://example.test/a");
    EXPECT_EQ(store.items[0].imageUrls.at(0), "http://example.test/x.png");
    TRSSItem six = makeEntry(served.url("_redirect/6/feed.xml"));
    EXPECT_EQ(served.fetch(six), kRssNoDocument);

    served.resetLog();
    TRSSItem plain = makeEntry(served.url("feed.xml"));
    ASSERT_EQ(served.fetch(plain), kRssOk);
    EXPECT_NE(served.requestLog().find("gzip"), std::string::npos);

    TRSSItem huge = makeEntry(served.url("_size/9000000"));
    EXPECT_EQ(served.fetch(huge), kRssNoDocument);
    EXPECT_NE(storeOf(served, served.url("_size/9000000")).fetch.lastReason.find("larger"),
              std::string::npos);
    TRSSItem small = makeEntry(served.url("_size/1000"));
    EXPECT_EQ(served.fetch(small), kRssNotAFeed);
}

TEST(Titles, LongTitlesAreCutToTheFieldAndMissingOnesAreTheAddress) {
    ServedFeeds served;
    ASSERT_TRUE(served.running()) << served.error();
    std::string longTitle;
    for (int i = 0; i < 70; ++i) {
        longTitle += "Заголовок ";
    }
    served.put("long.xml", rss20(longTitle, {}));
    TRSSItem entry = makeEntry(served.url("long.xml"));
    std::memset(entry.Title, 'x', sizeof entry.Title);  // whatever was there before
    ASSERT_EQ(served.fetch(entry), kRssOk);
    EXPECT_EQ(fieldText(entry.Title).size(), sizeof entry.Title - 1);
    EXPECT_EQ(std::string(fieldText(entry.Title)), ansi(longTitle).substr(0, 500));

    served.put("untitled.xml",
               "<rss version=\"2.0\"><channel><item><title>x</title></item></channel></rss>");
    TRSSItem untitled = makeEntry(served.url("untitled.xml"));
    ASSERT_EQ(served.fetch(untitled), kRssOk);
    EXPECT_EQ(std::string(fieldText(untitled.Title)), served.url("untitled.xml"));
}

TEST(Transport, ErrorStatusEmptyDocumentsAndOtherSchemes) {
    ServedFeeds served;
    ASSERT_TRUE(served.running()) << served.error();
    served.put("empty.xml", "");
    for (const char* path :
         {"_status/404", "_status/500", "_status/204", "empty.xml", "missing.xml"}) {
        TRSSItem entry = makeEntry(served.url(path));
        EXPECT_EQ(served.fetch(entry), kRssNoDocument) << path;
    }
    const rss::FeedStore failed = storeOf(served, served.url("_status/500"));
    EXPECT_EQ(failed.fetch.lastResult, kRssNoDocument);
    EXPECT_EQ(failed.fetch.lastReason, "The server answered with status 500.");
    for (const char* address : {"file:///etc/passwd", "ftp://127.0.0.1/feed.xml"}) {
        TRSSItem entry = makeEntry(address);
        EXPECT_EQ(served.fetch(entry), kRssNoDocument) << address;
    }
}

TEST(Transport, UnreachableHostsAndSilentServersGiveThree) {
    ServedFeeds nobody;
    TRSSItem closed =
        makeEntry("http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/f.xml");
    EXPECT_EQ(nobody.fetch(closed), kRssHostUnreachable);

    ServedFeeds slow({}, {"--rule", "static:delay=4000"});
    ASSERT_TRUE(slow.running()) << slow.error();
    slow.put("feed.xml", rss20("Slow", {}));
    rss::UpdateOptions options;
    options.network.stallTimeout = std::chrono::milliseconds(300);
    int pumped = 0;
    options.network.pump = [&pumped] { ++pumped; };
    TRSSItem entry = makeEntry(slow.url("feed.xml"));
    EXPECT_EQ(rss::updateFeed(entry, slow.rssFolder(), options), kRssHostUnreachable);
    EXPECT_GT(pumped, 3);
    EXPECT_EQ(storeOf(slow, slow.url("feed.xml")).fetch.lastResult, kRssHostUnreachable);
}

TEST(Transport, ThroughTheProxyWithBasicCredentials) {
    ServedFeeds served;
    ASSERT_TRUE(served.running()) << served.error();
    served.put("feed.xml", rss20("Proxied", {}));
    ProxyFixture proxy("reader", "pass-word");
    ASSERT_TRUE(proxy.running()) << proxy.error();

    TUserData data = userData();
    data.UseProxy = true;
    data.ProxyHost.assign("127.0.0.1");
    data.ProxyPort = proxy.port();
    data.ProxyLogin.assign("reader");
    data.ProxyPassword.assign("pass-word");
    const std::string folder = served.rssFolderArgument();
    TRSSItem entry = makeEntry(served.url("feed.xml"));
    FakeApplication application;
    ASSERT_EQ(LoadRSSNewsFromURL(&entry, folder.c_str(), &data, &application, nullptr, 0), kRssOk);
    EXPECT_EQ(std::string(fieldText(entry.Title)), "Proxied");
    EXPECT_NE(served.requestLog().find("Via:"), std::string::npos);

    // tinyproxy refuses a wrong login with 401 rather than 407.
    data.ProxyPassword.assign("wrong");
    TRSSItem refused = makeEntry(served.url("feed.xml?again"));
    EXPECT_EQ(LoadRSSNewsFromURL(&refused, folder.c_str(), &data, nullptr, nullptr, 0),
              kRssHostUnreachable);
    EXPECT_EQ(storeOf(served, served.url("feed.xml?again")).fetch.lastReason,
              "The proxy server refused the login.");
    // An origin's own 401 passes the proxy with a Via header: no document.
    data.ProxyPassword.assign("pass-word");
    TRSSItem locked = makeEntry(served.url("_status/401"));
    EXPECT_EQ(LoadRSSNewsFromURL(&locked, folder.c_str(), &data, nullptr, nullptr, 0),
              kRssNoDocument);
    data.ProxyPort = freeLoopbackPort();
    EXPECT_EQ(LoadRSSNewsFromURL(&refused, folder.c_str(), &data, nullptr, nullptr, 0),
              kRssHostUnreachable);
}

TEST(HostileFeeds, NothingNamedInsideADocumentIsFetched) {
    ServedFeeds served;
    ASSERT_TRUE(served.running()) << served.error();
    served.put("evil.dtd", "<!ENTITY leak \"LEAKED\">");
    served.put("evil.ent", "LEAKED");
    served.put("feed.xml",
               "<?xml version=\"1.0\"?>\n<!DOCTYPE rss SYSTEM \"" + served.url("evil.dtd") +
                   "\" [\n<!ENTITY ext SYSTEM \"" + served.url("evil.ent") +
                   "\">\n<!ENTITY % pe SYSTEM \"" + served.url("evil.dtd") +
                   "\">\n%pe;\n]>\n<rss version=\"2.0\"><channel><title>T&ext;&leak;</title>"
                   "</channel></rss>");
    served.resetLog();
    TRSSItem entry = makeEntry(served.url("feed.xml"));
    ASSERT_EQ(served.fetch(entry), kRssOk);
    // The entity the outside DTD would declare stays an unknown name.
    EXPECT_EQ(std::string(fieldText(entry.Title)), "T&leak;");
    EXPECT_EQ(served.requestLog().find("evil"), std::string::npos);
}

}  // namespace
}  // namespace quillbox::test
