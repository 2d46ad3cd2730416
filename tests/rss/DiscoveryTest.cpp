// A site's address standing for its feed: the page's first declared feed is
// fetched once, the entry keeps the typed address, the store holds the feed's
// news, and no validators of the second request are kept.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/NewsStore.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/rss/ServedFeeds.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

rss::FeedStore storeOf(ServedFeeds& served, const std::string& url) {
    const std::string identity = rss::feedIdentity(url);
    return rss::loadStore(rss::storePath(served.rssFolder(), identity), identity);
}

std::string page(const std::string& head) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>A site</title>\n" + head +
           "\n</head><body><p>Welcome.</p></body></html>\n";
}

std::string atomFeed(const std::string& title, const std::string& entryTitle) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>" +
           title + "</title><id>urn:x-test:atom</id><updated>" + "2030-01-01T00:00:00Z" +
           "</updated><entry><title>" + entryTitle +
           "</title><id>urn:x-test:atom:1</id><link href=\"http://example.test/a1\"/>"
           "<updated>2030-01-01T00:00:00Z</updated><summary>text</summary></entry></feed>\n";
}

// The head of the request for path in the server's log, or empty.
std::string requestFor(const std::string& log, const std::string& path) {
    const std::size_t start = log.find("GET " + path + "\r\n");
    if (start == std::string::npos) {
        return {};
    }
    return log.substr(start, log.find("\r\n\r\n", start) - start);
}

// Puts the feeds and site pages of these tests into the folder served
// (which has the subfolders x/ and y/); "{base}" in a page stands for the
// server's address.
void serveSite(ServedFeeds& served) {
    const std::int64_t now = nowSeconds();
    served.put("news.xml", rss20("News feed", {{"n1", "News item", "/n1", now - 60, "one"}}));
    served.put("atom.xml", atomFeed("Atom feed", "Atom item"));
    const std::string base = served.url("");
    const auto put = [&](const std::string& name, std::string html) {
        for (std::size_t at = html.find("{base}"); at != std::string::npos;
             at = html.find("{base}")) {
            html.replace(at, 6, base);
        }
        served.put(name, html);
    };
    put("x/feed.xml", rss20("Relative feed", {{"r1", "Relative item", "/r1", now - 60, "r"}}));
    put("rss.html",
        page("<link rel=\"stylesheet\" href=\"style.css\">\n"
             "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"News\" "
             "href=\"{base}news.xml\">\n"
             "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"{base}atom.xml\">"));
    put("atom.html", page("<LINK HREF='{base}atom.xml' TYPE='Application/Atom+XML; charset=utf-8' "
                          "Rel='nofollow ALTERNATE'>"));
    put("x/page.html",
        page("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"feed.xml\">"));
    put("y/page.html",
        page("<link rel=\"alternate\" type=\"application/rss+xml\" href=\" /x/feed.xml \">"));
    put("script.html",
        page("<link rel=\"alternate\" type=\"application/rss+xml\" href=\"javascript:alert(1)\">\n"
             "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"{base}news.xml\">"));
    put("file.html", page("<link rel=\"alternate\" type=\"application/rss+xml\" "
                          "href=\"file:///etc/passwd\">"));
    put("none.html",
        page("<link rel=\"alternate\" type=\"text/html\" href=\"{base}news.xml\">\n"
             "<link rel=\"feed stylesheet\" type=\"application/rss+xml\" href=\"{base}news.xml\">\n"
             "<link rel=\"alternate\" type=\"application/rss+xml\">"));
    // A real page from the shared samples; its feed lives on a host outside
    // the tests, so the link is pointed here.
    std::string sample = readFile(QUILLBOX_TEST_DATA_DIR "/feeds/rome__modules_2.rss");
    const std::string elsewhere =
        "http://web.mac.com/stuartbainbridge/iPhoto/the-5-6-7-8's-red-cloth/index.rss";
    ASSERT_NE(sample.find(elsewhere), std::string::npos);
    for (std::size_t at = sample.find(elsewhere); at != std::string::npos;
         at = sample.find(elsewhere)) {
        sample.replace(at, elsewhere.size(), "{base}news.xml");
    }
    put("moved.rss", sample);
    put("loop.html", page("<link rel=\"alternate\" type=\"application/rss+xml\" "
                          "href=\"{base}rss.html\">"));
}

// A served folder with the subfolders the site pages use.
struct SiteFolder {
    SiteFolder() {
        std::filesystem::create_directories(dir.file("x"));
        std::filesystem::create_directories(dir.file("y"));
    }
    TempDir dir;
};

TEST(Discovery, ASitePageLeadsToTheFirstFeedItDeclaresOnce) {
    const SiteFolder site;
    ServedFeeds served(site.dir.path());
    ASSERT_TRUE(served.running()) << served.error();
    ASSERT_NO_FATAL_FAILURE(serveSite(served));
    struct Case {
        const char* name;
        std::string path;  // what the user typed, below the server's address
        std::uint8_t result;
        std::string feedTitle;  // and its one item's title, when kRssOk
        std::string itemTitle;
        std::vector<std::string> notRequested;
    };
    const Case cases[] = {
        {"an RSS link among others", "rss.html", kRssOk, "News feed", "News item", {"/atom.xml"}},
        {"an Atom link, names and values in other cases",
         "atom.html",
         kRssOk,
         "Atom feed",
         "Atom item",
         {}},
        {"a real error page that declares its feed",
         "moved.rss",
         kRssOk,
         "News feed",
         "News item",
         {}},
        {"a page served as plain text",
         "rss.html?type=text/plain",
         kRssOk,
         "News feed",
         "News item",
         {}},
        {"relative to the page's address after redirects",
         "_redirect/1/x/page.html",
         kRssOk,
         "Relative feed",
         "Relative item",
         {"/_redirect/1/x/feed.xml"}},
        {"relative to the site's root",
         "y/page.html",
         kRssOk,
         "Relative feed",
         "Relative item",
         {}},
        {"a script link first: nothing else is tried",
         "script.html",
         kRssNotAFeed,
         "",
         "",
         {"/news.xml"}},
        {"a file link", "file.html", kRssNotAFeed, "", "", {}},
        {"no feed declared", "none.html", kRssNotAFeed, "", "", {"/news.xml"}},
        {"a feed link that leads to another page",
         "loop.html",
         kRssNotAFeed,
         "",
         "",
         {"/news.xml"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        served.resetLog();
        const std::string typed = served.url(c.path);
        TRSSItem entry = makeEntry(typed);
        EXPECT_EQ(served.fetch(entry), c.result);
        EXPECT_EQ(std::string(fieldText(entry.URL)), typed);
        const rss::FeedStore store = storeOf(served, typed);
        if (c.result == kRssOk) {
            EXPECT_EQ(std::string(fieldText(entry.Title)), c.feedTitle);
            ASSERT_EQ(store.items.size(), 1u);
            EXPECT_EQ(store.items[0].title, c.itemTitle);
            EXPECT_TRUE(store.fetch.etag.empty() && store.fetch.lastModified.empty());
        } else {
            EXPECT_TRUE(store.items.empty());
        }
        const std::string log = served.requestLog();
        for (const std::string& path : c.notRequested) {
            EXPECT_EQ(requestFor(log, path), "") << path;
        }
    }
}

TEST(Discovery, AnUpdateRunWithPagesFetchedAheadKeepsEachFeedsOwnNewsAndValidators) {
    const SiteFolder site;
    ServedFeeds served(site.dir.path());
    ASSERT_TRUE(served.running()) << served.error();
    ASSERT_NO_FATAL_FAILURE(serveSite(served));
    served.put("direct.xml",
               rss20("Direct feed", {{"d1", "Direct item", "/d1", nowSeconds(), "d"}}));
    ListHolder holder;
    for (const char* path : {"rss.html", "direct.xml", "atom.html", "none.html", "loop.html"}) {
        const TRSSItem entry = makeEntry(served.url(path));
        ASSERT_EQ(AddToRSSList(holder.list().Count + 1, &entry, holder.get()), kRssOk);
    }
    const std::vector<int> expected = {kRssOk, kRssOk, kRssOk, kRssNotAFeed, kRssNotAFeed};
    const std::vector<std::string> titles = {"News feed", "Direct feed", "Atom feed"};
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first run" : "second run");
        served.resetLog();
        std::vector<int> results;
        for (std::size_t i = 0; i < holder.list().Count; ++i) {
            results.push_back(served.fetch(*holder.list().Items[i]));
        }
        EXPECT_EQ(results, expected);
        for (std::size_t i = 0; i < titles.size(); ++i) {
            EXPECT_EQ(std::string(fieldText(holder.list().Items[i]->Title)), titles[i]);
            EXPECT_EQ(std::string(fieldText(holder.list().Items[i]->URL)),
                      served.url(i == 0   ? "rss.html"
                                 : i == 1 ? "direct.xml"
                                          : "atom.html"));
        }
        EXPECT_EQ(storeOf(served, served.url("rss.html")).items.at(0).title, "News item");
        EXPECT_EQ(storeOf(served, served.url("atom.html")).items.at(0).title, "Atom item");
        // A feed found through its page is fetched in full each time; a feed
        // fetched directly is asked for conditionally once it has validators.
        const std::string log = served.requestLog();
        EXPECT_EQ(requestFor(log, "/rss.html").find("If-None-Match"), std::string::npos);
        EXPECT_EQ(requestFor(log, "/news.xml").find("If-None-Match"), std::string::npos);
        EXPECT_NE(requestFor(log, "/news.xml"), "");
        EXPECT_EQ(requestFor(log, "/direct.xml").find("If-None-Match") != std::string::npos,
                  run == 1);
    }
}

}  // namespace
}  // namespace quillbox::test
