// The book around the news: description, one section per feed and per item,
// the failures section, and text that arrives broken.

#include "rss/fb2/Fb2Writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <regex>

#include "tests/fb2/Fb2TestBook.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/Fb2Schema.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using rss::FeedFailure;
using rss::FeedNews;
using rss::NewsBook;
using rss::NewsItem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// 2025-11-24 16:00 UTC.
constexpr std::int64_t kPublished = 1764000000;

NewsItem item(const std::string& title, const std::string& html, std::int64_t published = 0) {
    NewsItem news;
    news.key = title;
    news.title = title;
    news.link = "https://example.org/" + std::to_string(published) + ".html";
    news.published = published;
    news.contentHtml = html;
    return news;
}

class Fb2WriterTest : public ::testing::Test {
  protected:
    Fb2WriterTest() { ::tzset(); }
    ~Fb2WriterTest() override { ::tzset(); }

    EnvGuard m_timeZone{"TZ", std::string("UTC")};
    TempDir m_dir;
    std::string m_path = m_dir.file("news.fb2");
};

NewsBook twoFeedsAndFailures() {
    NewsBook book;
    book.bookTitle = "News 2025-11-24 16:00";
    book.created = kPublished;
    FeedNews first;
    first.title = "Feed A";
    first.url = "https://a.example/rss";
    first.items.push_back(item("Newest", "<p>Newest text</p>", kPublished));
    first.items.push_back(item("Older", "<p>Older text</p>", kPublished - 3600));
    first.items.back().author = "Jane Roe";
    FeedNews silent;
    silent.title = "Feed without news";
    FeedNews second;
    second.url = "https://b.example/atom";
    second.items.push_back(item("", "Only text", 0));
    second.items.back().firstSeen = kPublished - 60;
    book.feeds = {first, silent, second};
    book.failures.push_back(
        FeedFailure{"Broken feed", "http://broken.example/rss", "The host could not be reached."});
    book.failures.push_back(FeedFailure{"", "http://empty.example/", "The server sent no feed."});
    return book;
}

TEST_F(Fb2WriterTest, DescriptionNamesThePeriodicAndTheProgram) {
    writeValidBook(twoFeedsAndFailures(), m_path, rss::Fb2Options{});
    const Fb2Document book(m_path);
    const std::string info = "/f:FictionBook/f:description/f:title-info";
    EXPECT_EQ(book.text(info + "/f:genre"), "periodic");
    EXPECT_EQ(book.text(info + "/f:author/f:nickname"), "Quillbox");
    EXPECT_EQ(book.text(info + "/f:book-title"), "News 2025-11-24 16:00");
    EXPECT_EQ(book.text(info + "/f:date/@value"), "2025-11-24");
    EXPECT_EQ(book.text(info + "/f:lang"), "ru");
    const std::string document = "/f:FictionBook/f:description/f:document-info";
    EXPECT_EQ(book.text(document + "/f:author/f:nickname"), "Quillbox");
    EXPECT_EQ(book.text(document + "/f:program-used"), "Quillbox");
    EXPECT_EQ(book.text(document + "/f:date"), "2025-11-24 16:00");
    EXPECT_EQ(book.text(document + "/f:version"), "1.0");
    EXPECT_TRUE(std::regex_match(
        book.text(document + "/f:id"),
        std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
}

TEST_F(Fb2WriterTest, EachBookGetsItsOwnId) {
    const NewsBook news = twoFeedsAndFailures();
    writeValidBook(news, m_path);
    const std::string other = m_dir.file("again.fb2");
    writeValidBook(news, other);
    const std::string id = "/f:FictionBook/f:description/f:document-info/f:id";
    EXPECT_NE(Fb2Document(m_path).text(id), Fb2Document(other).text(id));
}

TEST_F(Fb2WriterTest, OneSectionPerFeedWithNewsAndOnePerItemInOrder) {
    writeValidBook(twoFeedsAndFailures(), m_path, rss::Fb2Options{});
    const Fb2Document book(m_path);
    EXPECT_THAT(book.texts("/f:FictionBook/f:body/f:section/f:title"),
                ElementsAre("Feed A", "https://b.example/atom", "Feeds that could not be updated"));
    const std::string feedA = "/f:FictionBook/f:body/f:section[1]";
    EXPECT_THAT(book.texts(feedA + "/f:section/f:title"), ElementsAre("Newest", "Older"));
    // Title, date line, text, link to the item's page.
    EXPECT_THAT(book.names(feedA + "/f:section[1]/*"), ElementsAre("title", "p", "p", "p"));
    EXPECT_EQ(book.text(feedA + "/f:section[1]/f:p[1]/f:emphasis"), "2025-11-24 16:00");
    EXPECT_EQ(book.text(feedA + "/f:section[1]/f:p[2]"), "Newest text");
    EXPECT_EQ(book.text(feedA + "/f:section[1]/f:p[3]/f:a/@l:href"),
              "https://example.org/1764000000.html");
    EXPECT_EQ(book.text(feedA + "/f:section[2]/f:p[1]"), "2025-11-24 15:00 \u00B7 Jane Roe");
    // Without a title the item is named by its address; without a date the
    // first fetch dates it.
    const std::string feedB = "/f:FictionBook/f:body/f:section[2]/f:section";
    EXPECT_EQ(book.text(feedB + "/f:title"), "https://example.org/0.html");
    EXPECT_EQ(book.text(feedB + "/f:p[1]"), "2025-11-24 15:59");
    EXPECT_EQ(book.text(feedB + "/f:p[2]"), "Only text");
}

TEST_F(Fb2WriterTest, LastSectionListsFailedFeedsAndWhy) {
    rss::Fb2Options options;
    options.failuresTitle = "Не обновились";
    writeValidBook(twoFeedsAndFailures(), m_path, options);
    const Fb2Document book(m_path);
    const std::string last = "/f:FictionBook/f:body/f:section[last()]";
    EXPECT_EQ(book.text(last + "/f:title"), "Не обновились");
    EXPECT_THAT(
        book.texts(last + "/f:p"),
        ElementsAre("Broken feed (http://broken.example/rss): The host could not be reached.",
                    "http://empty.example/: The server sent no feed."));
    EXPECT_THAT(book.texts(last + "/f:p/f:strong"),
                ElementsAre("Broken feed", "http://empty.example/"));
}

TEST_F(Fb2WriterTest, FailuresAloneStillMakeABook) {
    NewsBook news = twoFeedsAndFailures();
    news.feeds.clear();
    writeValidBook(news, m_path);
    EXPECT_EQ(Fb2Document(m_path).count("/f:FictionBook/f:body/f:section"), 1);
}

TEST_F(Fb2WriterTest, NothingToWriteLeavesNoFile) {
    NewsBook news;
    news.feeds.resize(2);  // feeds, but none with news
    const Status written = rss::writeNewsBook(news, m_path);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().code, rss::kFb2NothingToWrite);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.path()));  // no book, no temporary file
}

TEST_F(Fb2WriterTest, ItemWithoutAnyContentStillValidates) {
    NewsBook news = bookWithItem("");
    news.feeds[0].items[0].title.clear();
    news.feeds[0].items[0].link.clear();
    news.feeds[0].items.push_back(item("Only markup", "<p> </p><script>x()</script><br>"));
    writeValidBook(news, m_path, textOnlyOptions());
    const Fb2Document book(m_path);
    EXPECT_THAT(book.names("/f:FictionBook/f:body/f:section/f:section[1]/*"),
                ElementsAre("title", "empty-line"));
    EXPECT_THAT(book.names("/f:FictionBook/f:body/f:section/f:section[2]/*"),
                ElementsAre("title", "empty-line"));
}

TEST_F(Fb2WriterTest, CyrillicIsWrittenByteForByteInUtf8) {
    NewsBook news = bookWithItem("<p>Текст — ёжик «в тумане»</p>");
    news.feeds[0].title = "Лента новостей";
    news.feeds[0].items[0].title = "Заголовок №1";
    news.bookTitle = "Новости 24.11.2025";
    writeValidBook(news, m_path);
    const std::string bytes = readFile(m_path);
    EXPECT_THAT(bytes, HasSubstr("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    for (const char* text :
         {"Текст — ёжик «в тумане»", "Лента новостей", "Заголовок №1", "Новости 24.11.2025"}) {
        EXPECT_THAT(bytes, HasSubstr(std::string(">") + text + "<")) << text;
    }
    EXPECT_THAT(bytes, Not(HasSubstr("&#")));
}

TEST_F(Fb2WriterTest, ControlCharactersAndInvalidUtf8NeverReachTheFile) {
    NewsBook news = bookWithItem("<p>x\x02y \xC3 z\x1B</p>");
    news.bookTitle = std::string("Book\0title", 10);
    news.language = "r\x01u";
    news.created = -86400 * 365 * 3000LL;  // no valid date: the book is dated now
    news.feeds[0].title = "Feed\x0B\x0C name";
    news.feeds[0].items[0].title = "Bad\x01\x1F title \xFF\xFE end\x7F";
    news.feeds[0].items[0].author = "\x80\x81";
    news.failures.push_back(FeedFailure{"F\x05", "http://x.example/\x01", "reason \xED\xA0\x80"});
    writeValidBook(news, m_path, rss::Fb2Options{});
    const Fb2Document book(m_path);
    ASSERT_TRUE(book.loaded());
    EXPECT_EQ(book.text("/f:FictionBook/f:description/f:title-info/f:book-title"), "Booktitle");
    EXPECT_EQ(book.text("/f:FictionBook/f:description/f:title-info/f:lang"), "ru");
    EXPECT_EQ(book.text("/f:FictionBook/f:body/f:section[1]/f:title"), "Feed name");
    EXPECT_EQ(book.text("/f:FictionBook/f:body/f:section[1]/f:section/f:title"),
              "Bad title \uFFFD\uFFFD end");
    EXPECT_EQ(book.text("/f:FictionBook/f:body/f:section[1]/f:section/f:p[1]"), "\uFFFD\uFFFD");
    EXPECT_EQ(book.text("/f:FictionBook/f:body/f:section[1]/f:section/f:p[2]"), "xy \uFFFD z");
    EXPECT_EQ(book.text("/f:FictionBook/f:body/f:section[last()]/f:p"),
              "F (http://x.example/): reason \uFFFD\uFFFD\uFFFD");
}

}  // namespace
}  // namespace quillbox::test
