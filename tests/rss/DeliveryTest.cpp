// Only new news on the reader: books hold what has not been delivered yet,
// newest first, nothing twice, and a failed copy loses nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/NewsStore.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/rss/ServedFeeds.h"
#include "tests/support/Fb2Schema.h"

namespace quillbox::test {
namespace {

constexpr std::int64_t kHour = 3600;

class Delivery : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(served.running()) << served.error(); }

    void addFeed(const std::string& path) {
        TRSSItem entry = makeEntry(served.url(path));
        ASSERT_EQ(served.fetch(entry), kRssOk) << path;
        ASSERT_EQ(AddToRSSList(holder.list().Count + 1, &entry, holder.get()), kRssOk);
    }

    void updateAll() {
        for (std::uint16_t i = 0; i < holder.list().Count; ++i) {
            served.fetch(*holder.list().Items[i]);
        }
    }

    // Converts; returns the book's text ("" when no book was written).
    std::string convert() {
        char buffer[501];
        std::memset(buffer, 0, sizeof buffer);
        const std::string rss = served.rssFolderArgument();
        const std::string fb2 = served.fb2FolderArgument();
        const std::uint8_t result =
            ConvertRSSListToFb2(holder.get(), rss.c_str(), fb2.c_str(), buffer);
        lastBook = buffer;
        if (lastBook.empty()) {
            EXPECT_NE(result, kRssOk);
            EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\0'));
            return {};
        }
        EXPECT_EQ(result, kRssOk);
        EXPECT_EQ(lastBook.rfind("News_", 0), 0u) << lastBook;
        const std::vector<std::string> problems = validateFb2(served.fb2Folder() + lastBook);
        EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0]);
        return readFile(served.fb2Folder() + lastBook);
    }

    std::uint8_t deliver() {
        const std::string rss = served.rssFolderArgument();
        return MarkRSSNewsDelivered(rss.c_str(), lastBook.c_str());
    }

    // The store file of a feed served at path.
    std::string storeOf(const std::string& path) {
        return rss::storePath(served.rssFolder(), rss::feedIdentity(served.url(path)));
    }

    ServedFeeds served;
    ListHolder holder;
    std::string lastBook;
    const std::int64_t now = nowSeconds();
};

TEST_F(Delivery, DeliveredNewsStaysOutOfLaterBooks) {
    served.put("a.xml", rss20("Feed A",
                              {{"", "Alpha-1", "http://example.test/a1", now - kHour, "one"},
                               {"", "Alpha-2", "http://example.test/a2", now - 2 * kHour, "two"}}));
    addFeed("a.xml");
    const std::string first = convert();
    ASSERT_FALSE(first.empty());
    // Newest first.
    EXPECT_LT(first.find("Alpha-1"), first.find("Alpha-2"));
    EXPECT_NE(first.find("Alpha-2"), std::string::npos);
    ASSERT_EQ(deliver(), kRssOk);
    EXPECT_EQ(deliver(), kRssRefused);  // already marked

    served.put("a.xml", rss20("Feed A",
                              {{"", "Alpha-3", "http://example.test/a3", now, "three"},
                               {"", "Alpha-1", "http://example.test/a1", now - kHour, "one"},
                               {"", "Alpha-2", "http://example.test/a2", now - 2 * kHour, "two"}}));
    updateAll();
    const std::string second = convert();
    EXPECT_NE(second.find("Alpha-3"), std::string::npos);
    EXPECT_EQ(second.find("Alpha-1"), std::string::npos);
    EXPECT_EQ(second.find("Alpha-2"), std::string::npos);
    ASSERT_EQ(deliver(), kRssOk);

    // Nothing new: no book, the buffer stays empty, no file appears.
    const std::size_t books = filesIn(served.fb2Folder()).size();
    EXPECT_TRUE(convert().empty());
    EXPECT_EQ(filesIn(served.fb2Folder()).size(), books);
}

TEST_F(Delivery, WithoutDeliveryEveryBookRepeatsTheNews) {
    served.put("a.xml",
               rss20("Feed A", {{"", "Alpha-1", "http://example.test/a1", now - kHour, "one"}}));
    addFeed("a.xml");
    const std::string first = convert();
    const std::string firstName = lastBook;
    ASSERT_NE(first.find("Alpha-1"), std::string::npos);
    served.put("a.xml",
               rss20("Feed A", {{"", "Alpha-2", "http://example.test/a2", now, "two"},
                                {"", "Alpha-1", "http://example.test/a1", now - kHour, "one"}}));
    updateAll();
    const std::string second = convert();
    EXPECT_NE(second.find("Alpha-1"), std::string::npos);
    EXPECT_NE(second.find("Alpha-2"), std::string::npos);
    EXPECT_NE(lastBook, firstName);  // two books in the same minute get two names

    // Delivering the older book marks only what it held.
    lastBook = firstName;
    ASSERT_EQ(deliver(), kRssOk);
    const std::string third = convert();
    EXPECT_EQ(third.find("Alpha-1"), std::string::npos);
    EXPECT_NE(third.find("Alpha-2"), std::string::npos);
}

TEST_F(Delivery, RedatedAndMovedItemsDoNotComeBack) {
    served.put("a.xml", rss20("Feed A",
                              {{"http://example.test/g1", "Alpha-1", "http://example.test/a1",
                                now - 2 * kHour, "one"},
                               {"", "Alpha-2", "http://example.test/a2", now - 3 * kHour, "two"}}));
    addFeed("a.xml");
    ASSERT_FALSE(convert().empty());
    ASSERT_EQ(deliver(), kRssOk);

    // Same items, new dates, https addresses, a trailing slash.
    served.put("a.xml", rss20("Feed A", {{"https://example.test/g1", "Alpha-1",
                                          "https://example.test/a1", now, "one"},
                                         {"", "Alpha-2", "https://example.test/a2/", now, "two"}}));
    updateAll();
    EXPECT_TRUE(convert().empty()) << lastBook;
}

TEST_F(Delivery, FeedsListedTwiceAndSharedPagesGiveEachItemOnce) {
    served.put("a.xml",
               rss20("Feed A", {{"", "Shared-page", "http://example.test/story", now - kHour, "a"},
                                {"", "Only-A", "http://example.test/only-a", now - kHour, "a"}}));
    served.put("b.xml",
               rss20("Feed B", {{"", "Shared-page", "https://example.test/story/", now, "b"},
                                {"", "Only-B", "http://example.test/only-b", now, "b"}}));
    addFeed("a.xml");
    addFeed("b.xml");
    // The same feed again, spelt differently.
    TRSSItem again = makeEntry(served.url("a.xml").replace(0, 7, "HTTP://"));
    ASSERT_EQ(served.fetch(again), kRssOk);
    ASSERT_EQ(AddToRSSList(holder.list().Count + 1, &again, holder.get()), kRssOk);

    const std::string book = convert();
    const auto count = [&book](const std::string& text) {
        std::size_t found = 0;
        for (std::size_t at = book.find(text); at != std::string::npos;
             at = book.find(text, at + 1)) {
            ++found;
        }
        return found;
    };
    EXPECT_EQ(count("Only-A"), 1u);
    EXPECT_EQ(count("Only-B"), 1u);
    EXPECT_EQ(count("Shared-page"), 1u);

    // The copy left out is delivered with the book too.
    ASSERT_EQ(deliver(), kRssOk);
    updateAll();
    EXPECT_TRUE(convert().empty());
}

TEST_F(Delivery, DamagedStoreBringsNoDeliveredNewsBackAndIsKeptAside) {
    std::vector<FeedItemSpec> items;
    for (int i = 0; i < 60; ++i) {
        items.push_back({"", "Old-" + std::to_string(i),
                         "http://example.test/old/" + std::to_string(i), now - (i + 1) * 60,
                         "text"});
    }
    served.put("a.xml", rss20("Feed A", items));
    addFeed("a.xml");
    ASSERT_NE(convert().find("Old-59"), std::string::npos);
    ASSERT_EQ(deliver(), kRssOk);

    const std::string store = storeOf("a.xml");
    const std::vector<std::pair<const char*, std::string (*)(std::string)>> damages = {
        {"byte flipped",
         [](std::string bytes) {
             bytes[bytes.size() / 2] ^= 0x01;
             return bytes;
         }},
        {"cut short", [](std::string bytes) { return bytes.substr(0, bytes.size() / 3); }},
        {"garbage", [](std::string bytes) { return std::string(bytes.size(), '\x7F'); }},
    };
    for (std::size_t n = 0; n < damages.size(); ++n) {
        SCOPED_TRACE(damages[n].first);
        const std::string damaged = damages[n].second(readFile(store));
        writeFile(store, damaged);
        // A failed fetch leaves the damaged file as it is.
        served.put("a.xml", "<html><body>maintenance</body></html>");
        updateAll();
        EXPECT_EQ(readFile(store), damaged);

        const std::string fresh = "New-" + std::to_string(n);
        items.insert(items.begin(), {"", fresh, "http://example.test/new/" + fresh, now, "news"});
        served.put("a.xml", rss20("Feed A", items));
        updateAll();
        const std::string book = convert();
        EXPECT_NE(book.find(fresh), std::string::npos);
        for (const FeedItemSpec& item : items) {
            if (item.title != fresh) {
                EXPECT_EQ(book.find(item.title + "<"), std::string::npos) << item.title;
            }
        }
        EXPECT_EQ(readFile(store + ".damaged" + (n == 0 ? "" : "." + std::to_string(n))), damaged);
        ASSERT_EQ(deliver(), kRssOk);
    }

    // A book delivered while its store is damaged is recorded all the same.
    items.insert(items.begin(), {"", "Late", "http://example.test/late", now, "late"});
    served.put("a.xml", rss20("Feed A", items));
    updateAll();
    ASSERT_NE(convert().find("Late"), std::string::npos);
    writeFile(store, "garbage");
    ASSERT_EQ(deliver(), kRssOk);
    updateAll();
    EXPECT_TRUE(convert().empty()) << lastBook;
}

TEST_F(Delivery, FailedFetchLeavesTheStoreAsItWasAndIsListedInTheBook) {
    served.put("a.xml", rss20("Feed A", {{"", "Alpha-1", "http://example.test/a1", now, "one"}}));
    addFeed("a.xml");
    const std::string store = storeOf("a.xml");
    const std::string before = readFile(store);
    ASSERT_FALSE(before.empty());

    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"" +
                       std::string(5000, 'x') + "\">]><rss version=\"2.0\"><channel>" +
                       "<title>Feed A</title><item><title>";
    for (int i = 0; i < 250; ++i) {
        bomb += "&a;";
    }
    bomb += "</title></item></channel></rss>";
    struct Case {
        const char* name;
        std::string document;
        std::uint8_t result;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", kRssNoDocument, "The server sent an empty document."},
        {"not a feed", "<html><body>moved</body></html>", kRssNotAFeed,
         "The document is not a feed."},
        {"entity limit", bomb, kRssNotAFeed, "The feed's entities expand beyond the allowed size."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        served.put("a.xml", c.document);
        EXPECT_EQ(served.fetch(*holder.list().Items[0]), c.result);
        EXPECT_EQ(readFile(store), before);
        const std::string book = convert();
        EXPECT_NE(book.find("Alpha-1"), std::string::npos);
        // Listed in the book's last section, after every item.
        const std::size_t reason = book.find(c.reason);
        ASSERT_NE(reason, std::string::npos) << book;
        EXPECT_GT(reason, book.rfind("<section>"));
        EXPECT_GT(reason, book.find("Alpha-1"));
    }

    // The next good fetch clears the failure.
    served.put("a.xml", rss20("Feed A", {{"", "Alpha-1", "http://example.test/a1", now, "one"}}));
    EXPECT_EQ(served.fetch(*holder.list().Items[0]), kRssOk);
    EXPECT_EQ(convert().find("The feed"), std::string::npos);
}

TEST_F(Delivery, AnEmptyListWritesNoBook) {
    EXPECT_TRUE(convert().empty());
    EXPECT_TRUE(filesIn(served.fb2Folder()).empty());
}

TEST_F(Delivery, UnknownAndUnsafeBookNamesAreRefused) {
    const std::string rss = served.rssFolderArgument();
    EXPECT_EQ(MarkRSSNewsDelivered(rss.c_str(), "News_2000-01-01_00-00.fb2"), kRssRefused);
    EXPECT_EQ(MarkRSSNewsDelivered(rss.c_str(), "../RSS.list"), kRssRefused);
    EXPECT_EQ(MarkRSSNewsDelivered(rss.c_str(), ""), kRssRefused);
    EXPECT_EQ(MarkRSSNewsDelivered(rss.c_str(), nullptr), kRssRefused);
}

}  // namespace
}  // namespace quillbox::test
