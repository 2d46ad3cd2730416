// OPML import and export through the library's exports: the shapes exporters
// write, files that are not OPML, the list's limits, and a round trip.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/TextEncoding.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

const std::string kOpml = QUILLBOX_TEST_DATA_DIR "/opml/";
const std::string kKept = "http://kept.example.test/feed.xml";

struct Feed {
    std::string url;    // UTF-8
    std::string title;  // UTF-8
};

// Added, AlreadyListed, TooLong, NotRepresentable, BeyondLimit.
using Counts = std::array<int, 5>;

Counts countsOf(const TOPMLReport& report) {
    return {report.Added, report.AlreadyListed, report.TooLong, report.NotRepresentable,
            report.BeyondLimit};
}

// The list's entries from position first (0-based) on, as UTF-8 through the
// test's code page.
std::vector<Feed> entriesFrom(ListHolder& holder, std::size_t first) {
    std::vector<Feed> feeds;
    for (std::size_t i = first; i < holder.list().Count; ++i) {
        const TRSSItem& entry = *holder.list().Items[i];
        feeds.push_back({std::string(fieldText(entry.URL)), std::string(fieldText(entry.Title))});
    }
    return feeds;
}

std::vector<Feed> inAnsi(const std::vector<Feed>& feeds) {
    std::vector<Feed> converted;
    converted.reserve(feeds.size());
    for (const Feed& feed : feeds) {
        converted.push_back({ansi(feed.url), ansi(feed.title)});
    }
    return converted;
}

bool operator==(const Feed& a, const Feed& b) {
    return a.url == b.url && a.title == b.title;
}

void PrintTo(const Feed& feed, std::ostream* out) {
    *out << feed.url << " | " << feed.title;
}

std::string attribute(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// An OPML 2.0 document (UTF-8) with one typed feed outline per feed.
std::string opmlOf(const std::vector<Feed>& feeds) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">"
        "<head><title>made here</title></head><body>\n";
    for (const Feed& feed : feeds) {
        out += "<outline type=\"rss\" text=\"" + attribute(feed.title) + "\" xmlUrl=\"" +
               attribute(feed.url) + "\"/>\n";
    }
    return out + "</body></opml>\n";
}

std::uint8_t importFile(const std::string& path, ListHolder& holder, TOPMLReport& report) {
    std::memset(&report, 0xAB, sizeof report);  // whatever the caller had there
    return ImportOPMLToRSSList(path.c_str(), holder.get(), &report);
}

// Appends the feeds, their texts in the code page.
void addEntries(ListHolder& holder, const std::vector<Feed>& feeds) {
    for (const Feed& feed : feeds) {
        const TRSSItem entry = makeEntry(ansi(feed.url), ansi(feed.title));
        ASSERT_EQ(AddToRSSList(holder.list().Count + 1, &entry, holder.get()), kRssOk);
    }
}

TEST(OpmlImport, ReadsTheShapesExportersWriteAndRefusesWhatIsNotOpml) {
    struct Case {
        const char* file;
        std::uint8_t result;
        std::vector<Feed> added;  // after the entry already listed
    };
    const Case cases[] = {
        {"flat-1.0.opml",
         kRssOk,
         {{"http://planet.example.test/rss20.xml", "Planet Example"},
          {"https://news.example.test/feed?topic=weather&lang=en", "Weather & Climate"},
          {"https://code.example.test/releases.atom", "Release notes"}}},
        {"folders-2.0.opml",
         kRssOk,
         {{"https://space.example.test/feed/", "Space news"},
          {"https://cells.example.test/atom.xml", "Cells weekly"},
          {"https://kernel.example.test/digest.rss", "Kernel digest"},
          {"https://text.example.test/index.xml", "Only the text"}}},
        {"untyped.opml",
         kRssOk,
         {{"http://first.example.test/index.rss", "First blog"},
          {"http://second.example.test/feed.xml", "Second blog"},
          {"http://third.example.test/atom", "Third blog"}}},
        {"cyrillic-windows-1251.opml",
         kRssOk,
         {{"http://nauka.example.test/rss.xml", "Новости науки"},
          {"http://pogoda.example.test/moskva/rss", "Погода в Москве"}}},
        {"html-page.opml", kRssNotAFeed, {}},
        {"entity-bomb.opml", kRssNotAFeed, {}},
        {"no-such-file.opml", kRssFileError, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ListHolder holder;
        addEntries(holder, {{kKept, "kept"}});
        TOPMLReport report;
        EXPECT_EQ(importFile(kOpml + c.file, holder, report), c.result);
        EXPECT_EQ(entriesFrom(holder, 1), inAnsi(c.added));
        EXPECT_EQ(entriesFrom(holder, 0).at(0), (Feed{kKept, "kept"}));
        EXPECT_EQ(countsOf(report), (Counts{static_cast<int>(c.added.size()), 0, 0, 0, 0}));
    }
}

TEST(OpmlImport, CountsWhatTheListCannotTake) {
    const auto numbered = [](const std::string& stem, int from, int to) {
        std::vector<Feed> feeds;
        for (int i = from; i <= to; ++i) {
            feeds.push_back(
                {"http://example.test/" + stem + std::to_string(i), "F" + std::to_string(i)});
        }
        return feeds;
    };
    const std::string path250 = "http://example.test/" + std::string(230, 'a');
    const std::string cyrillic250 = "http://example.test/";
    std::string cyrillicPath;
    for (int i = 0; i < 230; ++i) {
        cyrillicPath += "я";  // one byte each in windows-1251
    }
    struct Case {
        const char* name;
        std::vector<Feed> listed;  // in the list before the import
        std::vector<Feed> file;
        Counts counts;
        std::vector<Feed> added;  // UTF-8; titles as the code page holds them
    };
    const std::vector<Feed> thousandTwoHundred = numbered("feed", 1, 1200);
    const Case cases[] = {
        {"1200 outlines into an empty list",
         {},
         thousandTwoHundred,
         {1000, 0, 0, 0, 200},
         numbered("feed", 1, 1000)},
        {"duplicates in the file and against the list",
         numbered("listed", 1, 2),
         {{"http://example.test/listed1", "again"},
          {"http://example.test/new", "New"},
          {"http://example.test/new", "New again"},
          {"http://example.test/listed2", "again"},
          {"http://example.test/NEW", "Other bytes"}},
         {2, 3, 0, 0, 0},
         {{"http://example.test/new", "New"}, {"http://example.test/NEW", "Other bytes"}}},
        {"long addresses and characters the code page lacks",
         {},
         {{path250, "250 bytes"},
          {path250 + "b", "251 bytes"},
          {cyrillic250 + cyrillicPath, "250 bytes in the code page"},
          {"http://example.test/caf\u00e9.xml", "not in windows-1251"},
          {"http://example.test/title", "Caf\u00e9 " + std::string(600, 't')}},
         {3, 0, 1, 1, 0},
         {{path250, "250 bytes"},
          {cyrillic250 + cyrillicPath, "250 bytes in the code page"},
          {"http://example.test/title", "Caf? " + std::string(495, 't')}}},
        {"a list that fills up on the way",
         numbered("listed", 1, 999),
         {{"http://example.test/listed7", "dup"},
          {"http://example.test/last", "Last"},
          {"http://example.test/late", "Late"},
          {"http://example.test/listed8", "dup"}},
         {1, 1, 0, 0, 2},
         {{"http://example.test/last", "Last"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        writeFile(dir.file("list.opml"), opmlOf(c.file));
        ListHolder holder;
        addEntries(holder, c.listed);
        TOPMLReport report;
        ASSERT_EQ(importFile(dir.file("list.opml"), holder, report), kRssOk);
        EXPECT_EQ(countsOf(report), c.counts);
        EXPECT_EQ(entriesFrom(holder, 0), inAnsi([&] {
                      std::vector<Feed> all = c.listed;
                      all.insert(all.end(), c.added.begin(), c.added.end());
                      return all;
                  }()));
    }
}

TEST(OpmlExport, ImportingTheExportGivesTheSameFeeds) {
    const std::vector<Feed> feeds = {
        {"http://a.example.test/rss?x=1&y=2", "Новости & <мнения> \"в кавычках\""},
        {"http://example.test/путь/rss", "Путь"},
        {"http://b.example.test/feed.xml", std::string(500, 'L')},
    };
    TempDir dir;
    ListHolder holder;
    addEntries(holder, feeds);
    addEntries(holder, {{"http://untitled.example.test/", ""}});
    const std::string path = dir.file("feeds.opml");
    writeFile(path, "an older file");
    ASSERT_EQ(ExportRSSListToOPML(holder.get(), path.c_str()), kRssOk);

    const std::string written = readFile(path);
    EXPECT_EQ(
        written.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">", 0), 0u);
    EXPECT_NE(written.find("<head>\n    <title>Quillbox feeds</title>\n  </head>"),
              std::string::npos);
    EXPECT_NE(written.find("<outline type=\"rss\" text=\"Путь\" title=\"Путь\" "
                           "xmlUrl=\"http://example.test/путь/rss\"/>"),
              std::string::npos);
    EXPECT_TRUE(rss::isValidUtf8(written));
    EXPECT_EQ(folderTree(dir.path()).size(), 1u);  // no temporary file left

    ListHolder again;
    TOPMLReport report;
    ASSERT_EQ(importFile(path, again, report), kRssOk);
    EXPECT_EQ(countsOf(report), (Counts{4, 0, 0, 0, 0}));
    std::vector<Feed> expected = inAnsi(feeds);
    // An entry without a title is written with its address as the title.
    expected.push_back({"http://untitled.example.test/", "http://untitled.example.test/"});
    EXPECT_EQ(entriesFrom(again, 0), expected);
}

TEST(OpmlExport, AFileThatCannotBeWrittenLeavesTheOldOne) {
    TempDir dir;
    ListHolder holder;
    addEntries(holder, {{"http://a.example.test/feed.xml", std::string(300, 'T')}});
    writeFile(dir.file("feeds.opml"), "the old export");
    writeFile(dir.file("file"), "a file where a folder should be");
    struct Case {
        const char* name;
        std::string path;
        std::function<std::shared_ptr<void>()> arrange;
    };
    const Case cases[] = {
        {"the drive is full", dir.file("feeds.opml"),
         [] { return std::make_shared<FileSizeLimit>(100); }},
        {"the folder is a file", dir.file("file/feeds.opml"), [] { return nullptr; }},
        {"the folder is missing", dir.file("missing/feeds.opml"), [] { return nullptr; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const std::shared_ptr<void> held = c.arrange();
            EXPECT_EQ(ExportRSSListToOPML(holder.get(), c.path.c_str()), kRssFileError);
        }
        EXPECT_EQ(readFile(dir.file("feeds.opml")), "the old export");
        EXPECT_EQ(folderTree(dir.path()).size(), 2u);
    }
}

TEST(OpmlExports, RefuseNullArguments) {
    ListHolder holder;
    TOPMLReport report{};
    const std::string path = kOpml + "flat-1.0.opml";
    EXPECT_EQ(ImportOPMLToRSSList(nullptr, holder.get(), &report), kRssRefused);
    EXPECT_EQ(ImportOPMLToRSSList(path.c_str(), nullptr, &report), kRssRefused);
    EXPECT_EQ(ImportOPMLToRSSList(path.c_str(), holder.get(), nullptr), kRssRefused);
    EXPECT_EQ(ExportRSSListToOPML(nullptr, path.c_str()), kRssRefused);
    EXPECT_EQ(ExportRSSListToOPML(holder.get(), nullptr), kRssRefused);
    EXPECT_EQ(holder.list().Count, 0);
}

}  // namespace
}  // namespace quillbox::test
