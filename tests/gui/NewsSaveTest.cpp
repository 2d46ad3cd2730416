// The news screen's update and save actions: the outcome of an update is the
// last feed's, a host that cannot be reached stops it; the book goes to the
// reader's News folder, and only a delivered book keeps its news out of the
// next one; without a book or a reader folder the save ends silently.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/Form.h"
#include "common/FixedText.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/Fb2Schema.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using app::TForm1;
namespace fs = std::filesystem;

// An RSS 2.0 feed whose items carry these titles (and unique links).
std::string feed(const std::string& title, const std::vector<std::string>& items) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>"
        "<title>" +
        title + "</title><link>http://example.test/</link>";
    for (const std::string& item : items) {
        out += "<item><title>" + item + "</title><link>http://example.test/" + item +
               "</link><description>Text of " + item + "</description></item>";
    }
    return out + "</channel></rss>\n";
}

void addFeed(TForm1& window, const std::string& url) {
    TRSSItem entry{};
    setFieldText(entry.URL, url);
    ASSERT_EQ(AddToRSSList(window.RSSList->Count + 1, &entry, window.RSSList.get()), kRssOk);
}

// Runs the action; returns the language string (among the actions' own) of the
// message it showed last: 0 when it showed none, -1 for any other text.
int shownString(TForm1& window, const std::function<void()>& action) {
    std::memset(window.ErrorText, 0, sizeof window.ErrorText);
    const std::uint64_t shown = window.ErrorTimer.ticks();
    action();
    if (window.ErrorTimer.ticks() == shown) {
        return 0;
    }
    for (const int id : {31, 32, 37, 39, 44}) {
        if (window.Languages.LanguageStrings[id] == window.ErrorText) {
            return id;
        }
    }
    return -1;
}

std::vector<std::string> booksIn(const std::string& folder) {
    std::vector<std::string> books;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        books.push_back(entry.path().string());
    }
    return books;
}

class NewsSaveTest : public WindowTest {
  protected:
    NewsSaveTest() : m_drives("QUILLBOX_DRIVES", "E=" + m_reader.path()) {
        fs::create_directories(m_reader.path() + "System");
        writeFile(m_reader.path() + "System/.leafdevice", "");
    }

    // The menu with a reader as drive E and a converter that counts its calls.
    TForm1& withReader() {
        TForm1& window = toMenu();
        window.ReaderDrive = 4;
        window.ConvertNews = [this](TRSSList* list, const char* rss, const char* fb2, char* name) {
            ++m_conversions;
            return convert ? convert(list, rss, fb2, name)
                           : ConvertRSSListToFb2(list, rss, fb2, name);
        };
        return window;
    }

    // The one book that arrived in the reader's News folder since the books in
    // `known` (which it joins): its text, after checking it is a valid FB2 file.
    std::string newBook(std::vector<std::string>& known) {
        std::vector<std::string> added;
        for (const std::string& book : booksIn(m_reader.path() + "News")) {
            if (std::find(known.begin(), known.end(), book) == known.end()) {
                added.push_back(book);
            }
        }
        if (added.size() != 1) {
            ADD_FAILURE() << added.size() << " new books";
            return {};
        }
        known.push_back(added[0]);
        const std::vector<std::string> problems = validateFb2(added[0]);
        EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0]);
        return readFile(added[0]);
    }

    TempDir m_feeds;
    TempDir m_reader;
    EnvGuard m_drives;
    int m_conversions = 0;
    // Replaces the library's converter when set.
    std::function<std::uint8_t(TRSSList*, const char*, const char*, char*)> convert;
};

TEST_F(NewsSaveTest, TheLastFeedDecidesAndAnUnreachableHostStopsTheUpdate) {
    struct Case {
        const char* name;
        std::vector<std::string> paths;  // "-" stands for a host that cannot be reached
        int message;
        std::vector<bool> titled;  // feeds that were fetched and got their title
    };
    StoreServer server({"--static", m_feeds.path()});
    ASSERT_TRUE(server.running()) << server.error();
    writeFile(m_feeds.file("a.xml"), feed("Feed A", {"Alpha"}));
    writeFile(m_feeds.file("b.xml"), feed("Feed B", {"Beta"}));
    for (const Case& c :
         {Case{"first feed has no document",
               {"_status/404", "a.xml", "b.xml"},
               39,
               {false, true, true}},
          Case{"second host unreachable", {"a.xml", "-", "b.xml"}, 44, {true, false, false}}}) {
        TSystemInfo info{};
        LoadSystemInfo(&info);
        info.LastRSSUpdate = {};
        ASSERT_TRUE(SaveSystemInfo(info));
        TForm1& window = toMenu();
        DeleteRSSList(window.RSSList.get());  // the list the previous window left
        for (const std::string& path : c.paths) {
            addFeed(window, path == "-" ? "http://127.0.0.1:9/feed.xml" : server.url(path));
        }
        EXPECT_EQ(shownString(window, [&] { window.RSSUpdateClick(); }), c.message) << c.name;
        for (std::size_t i = 0; i < c.titled.size(); ++i) {
            EXPECT_EQ(window.RSSList->Items[i]->Title[0] != 0, c.titled[i]) << c.name << " " << i;
        }
        LoadSystemInfo(&info);
        EXPECT_EQ(info.LastRSSUpdate.Year != 0, c.message == 39) << c.name;
        EXPECT_TRUE(window.isEnabled()) << c.name;
        EXPECT_FALSE(window.control("Hourglass")->isVisible()) << c.name;
    }
}

TEST_F(NewsSaveTest, WithoutAReaderNothingIsConverted) {
    TForm1& window = withReader();
    window.ReaderDrive = 0;
    EXPECT_EQ(shownString(window, [&] { window.RSSSaveClick(); }), 37);
    EXPECT_EQ(m_conversions, 0);
    EXPECT_FALSE(fs::exists(m_reader.path() + "News"));
}

TEST_F(NewsSaveTest, OnlyABookThatReachedTheReaderKeepsItsNewsOutOfTheNext) {
    StoreServer server({"--static", m_feeds.path()});
    ASSERT_TRUE(server.running()) << server.error();
    writeFile(m_feeds.file("a.xml"), feed("Feed A", {"Alpha-1"}));
    TForm1& window = withReader();
    addFeed(window, server.url("a.xml"));
    ASSERT_EQ(shownString(window, [&] { window.RSSUpdateClick(); }), 39);

    // A copy that fails (a folder stands where the book would go): string 32,
    // and the news stays for the next book.
    convert = [this](TRSSList* list, const char* rss, const char* fb2, char* name) {
        const std::uint8_t result = ConvertRSSListToFb2(list, rss, fb2, name);
        fs::create_directories(m_reader.path() + "News/" + name);
        return result;
    };
    EXPECT_EQ(shownString(window, [&] { window.RSSSaveClick(); }), 32);
    convert = nullptr;
    fs::remove_all(m_reader.path() + "News");

    std::vector<std::string> books;
    EXPECT_EQ(shownString(window, [&] { window.RSSSaveClick(); }), 31);
    const std::string first = newBook(books);
    EXPECT_NE(first.find("Alpha-1"), std::string::npos);
    EXPECT_TRUE(window.CopyTimer.enabled());
    EXPECT_TRUE(window.UpdateTimer.enabled());
    EXPECT_TRUE(window.isEnabled());
    EXPECT_FALSE(window.control("CopyPanel")->isVisible());

    writeFile(m_feeds.file("a.xml"), feed("Feed A", {"Alpha-2", "Alpha-1"}));
    ASSERT_EQ(shownString(window, [&] { window.RSSUpdateClick(); }), 39);
    EXPECT_EQ(shownString(window, [&] { window.RSSSaveClick(); }), 31);
    const std::string second = newBook(books);
    EXPECT_NE(second.find("Alpha-2"), std::string::npos);
    EXPECT_EQ(second.find("Alpha-1"), std::string::npos);
    EXPECT_EQ(m_conversions, 3);
}

TEST_F(NewsSaveTest, NoBookOrNoReaderFolderEndsSilentlyWithTheTimersRunning) {
    struct Case {
        const char* name;
        bool converterWrites;
        const char* drives;  // QUILLBOX_DRIVES during the save; null: the reader
    };
    for (const Case& c : {Case{"converter writes nothing", false, nullptr},
                          Case{"reader folder gone", true, "E=/nonexistent/quillbox-reader"}}) {
        TForm1& window = withReader();
        window.CopyTimer.setEnabled(true);
        window.UpdateTimer.setEnabled(true);
        bool quietWhileConverting = false;
        convert = [&](TRSSList*, const char*, const char* fb2, char* name) {
            quietWhileConverting =
                !window.CopyTimer.enabled() && !window.UpdateTimer.enabled() && !window.isEnabled();
            if (!c.converterWrites) {
                return kRssRefused;
            }
            std::string folder = fb2;
            folder.back() = '/';
            fs::create_directories(folder);
            writeFile(folder + "News_test.fb2", "<FictionBook/>");
            std::strcpy(name, "News_test.fb2");
            return kRssOk;
        };
        const EnvGuard drives("QUILLBOX_DRIVES",
                              c.drives != nullptr ? std::string(c.drives) : "E=" + m_reader.path());
        EXPECT_EQ(shownString(window, [&] { window.RSSSaveClick(); }), 0) << c.name;
        EXPECT_EQ(m_conversions, 1) << c.name;
        EXPECT_TRUE(quietWhileConverting) << c.name;
        m_conversions = 0;
        EXPECT_FALSE(fs::exists(m_reader.path() + "News")) << c.name;
        EXPECT_TRUE(window.CopyTimer.enabled()) << c.name;
        EXPECT_TRUE(window.UpdateTimer.enabled()) << c.name;
        EXPECT_TRUE(window.isEnabled()) << c.name;
        EXPECT_FALSE(window.control("Hourglass")->isVisible()) << c.name;
    }
}

}  // namespace
}  // namespace quillbox::test
