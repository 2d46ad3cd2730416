// Only new news on the reader: books hold what has not been delivered yet,
// newest first, nothing twice, and a failed copy loses nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/FixedText.h"
#include "contracts/RSS.h"
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

TEST_F(Delivery, FailedFeedsAreListedInTheBook) {
    served.put("a.xml", rss20("Feed A", {{"", "Alpha-1", "http://example.test/a1", now, "one"}}));
    served.put("b.xml", rss20("Feed B", {}));
    addFeed("a.xml");
    addFeed("b.xml");
    served.put("b.xml", "");
    updateAll();
    const std::string book = convert();
    EXPECT_NE(book.find("Alpha-1"), std::string::npos);
    EXPECT_NE(book.find("Feed B"), std::string::npos);
    EXPECT_NE(book.find("The server sent an empty document."), std::string::npos);
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
