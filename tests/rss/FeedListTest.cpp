// The feed list through the library's exports: RSS.list round trips, limits,
// and damaged files that must never cost a feed.

#include <gtest/gtest.h>

#include <string>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/RecordFormat.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

void fill(ListHolder& holder, int count) {
    for (int i = 1; i <= count; ++i) {
        TRSSItem entry = makeEntry("http://example.test/feed" + std::to_string(i) + ".xml",
                                   "Feed " + std::to_string(i));
        ASSERT_EQ(AddToRSSList(holder.list().Count + 1, &entry, holder.get()), kRssOk);
    }
}

std::string urlAt(ListHolder& holder, int position) {
    return std::string(fieldText(holder.list().Items[position - 1]->URL));
}

TEST(FeedListFile, RoundTripKeepsEveryByteOfTitleAndAddress) {
    TempDir dir;
    ListHolder saved;
    const std::string cyrillic = ansi("Лента новостей — главное");
    TRSSItem entries[] = {
        makeEntry("http://example.test/a.xml", cyrillic),
        makeEntry("http://example.test/b.xml?x=1&y=2", "Tab\there, line\nbreak, back\\slash"),
        makeEntry(" http://example.test/c.xml ", ""),
    };
    for (const TRSSItem& entry : entries) {
        ASSERT_EQ(AddToRSSList(saved.list().Count + 1, &entry, saved.get()), kRssOk);
    }
    // The program passes folders with '\' separators.
    const std::string path = dir.path() + "RSS\\RSS.list";
    ASSERT_EQ(SaveRSSListToFile(path.c_str(), saved.get(), 0), kRssOk);
    EXPECT_TRUE(fileExists(dir.file("RSS/RSS.list")));

    ListHolder loaded;
    const std::string folder = dir.path() + "RSS\\";
    ASSERT_EQ(LoadRSSListFromFile(folder.c_str(), "RSS.list", loaded.get(), 1, 0), kRssOk);
    ASSERT_EQ(loaded.list().Count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(sameFieldBytes(loaded.list().Items[i]->Title, entries[i].Title)) << i;
        EXPECT_TRUE(sameFieldBytes(loaded.list().Items[i]->URL, entries[i].URL)) << i;
    }
}

TEST(FeedListFile, MissingFileIsAnEmptyListAndLoadingReplacesEntries) {
    TempDir dir;
    ListHolder holder;
    fill(holder, 3);
    ASSERT_EQ(LoadRSSListFromFile(dir.path().c_str(), "RSS.list", holder.get(), 1, 0), kRssOk);
    EXPECT_EQ(holder.list().Count, 0);
    EXPECT_EQ(holder.list().Items[0], nullptr);
}

TEST(FeedListEdits, FullListAndPositionsOutOfRangeAreRefusedWithoutChange) {
    ListHolder holder;
    fill(holder, kMaxFeeds);
    ASSERT_EQ(holder.list().Count, kMaxFeeds);
    TRSSItem extra = makeEntry("http://example.test/extra.xml");
    EXPECT_EQ(AddToRSSList(kMaxFeeds + 1, &extra, holder.get()), kRssRefused);
    EXPECT_EQ(AddToRSSList(1, &extra, holder.get()), kRssRefused);
    EXPECT_EQ(holder.list().Count, kMaxFeeds);
    EXPECT_EQ(urlAt(holder, 1), "http://example.test/feed1.xml");
    EXPECT_EQ(urlAt(holder, kMaxFeeds), "http://example.test/feed1000.xml");

    ListHolder small;
    fill(small, 2);
    EXPECT_EQ(AddToRSSList(0, &extra, small.get()), kRssRefused);
    EXPECT_EQ(AddToRSSList(4, &extra, small.get()), kRssRefused);
    EXPECT_EQ(DeleteFromRSSList(0, small.get()), kRssRefused);
    EXPECT_EQ(DeleteFromRSSList(3, small.get()), kRssRefused);
    EXPECT_EQ(small.list().Count, 2);
    EXPECT_EQ(AddToRSSList(2, &extra, small.get()), kRssOk);
    EXPECT_EQ(urlAt(small, 2), "http://example.test/extra.xml");
    EXPECT_EQ(urlAt(small, 3), "http://example.test/feed2.xml");
}

TEST(FeedListEdits, DeletingSelectedRowsRemovesTheRightFeeds) {
    // Rows 2 and 5 of page 0 selected: positions 3, then 5 (one moved up).
    ListHolder holder;
    fill(holder, 6);
    ASSERT_EQ(DeleteFromRSSList(3, holder.get()), kRssOk);
    ASSERT_EQ(DeleteFromRSSList(5, holder.get()), kRssOk);
    ASSERT_EQ(holder.list().Count, 4);
    EXPECT_EQ(urlAt(holder, 1), "http://example.test/feed1.xml");
    EXPECT_EQ(urlAt(holder, 2), "http://example.test/feed2.xml");
    EXPECT_EQ(urlAt(holder, 3), "http://example.test/feed4.xml");
    EXPECT_EQ(urlAt(holder, 4), "http://example.test/feed5.xml");
    EXPECT_EQ(holder.list().Items[4], nullptr);
}

TEST(FeedListDamage, TruncatedFileLoadsWhatItCanAndIsKeptAsideOnSave) {
    TempDir dir;
    ListHolder holder;
    fill(holder, 10);
    const std::string path = dir.file("RSS.list");
    ASSERT_EQ(SaveRSSListToFile(path.c_str(), holder.get(), 0), kRssOk);
    const std::string whole = readFile(path);
    const std::size_t cut = whole.find("feed6.xml");
    ASSERT_NE(cut, std::string::npos);
    const std::string truncated = whole.substr(0, cut);
    writeFile(path, truncated);

    ListHolder loaded;
    EXPECT_EQ(LoadRSSListFromFile(dir.path().c_str(), "RSS.list", loaded.get(), 1, 0),
              kRssFileError);
    ASSERT_EQ(loaded.list().Count, 5);
    EXPECT_EQ(urlAt(loaded, 5), "http://example.test/feed5.xml");

    // Saving the shorter list keeps the unreadable file, byte for byte.
    ASSERT_EQ(SaveRSSListToFile(path.c_str(), loaded.get(), 0), kRssOk);
    EXPECT_EQ(readFile(path + ".damaged"), truncated);
    ListHolder again;
    EXPECT_EQ(LoadRSSListFromFile(dir.path().c_str(), "RSS.list", again.get(), 1, 0), kRssOk);
    EXPECT_EQ(again.list().Count, 5);

    // A sound file is simply replaced; the earlier copy is never overwritten.
    ASSERT_EQ(SaveRSSListToFile(path.c_str(), again.get(), 0), kRssOk);
    EXPECT_FALSE(fileExists(path + ".damaged.1"));
    EXPECT_EQ(readFile(path + ".damaged"), truncated);
}

TEST(FeedListDamage, DamagedLineIsSkippedAndTheRestKept) {
    TempDir dir;
    ListHolder holder;
    fill(holder, 4);
    const std::string path = dir.file("RSS.list");
    ASSERT_EQ(SaveRSSListToFile(path.c_str(), holder.get(), 0), kRssOk);
    std::string bytes = readFile(path);
    bytes[bytes.find("feed2.xml")] = 'X';
    writeFile(path, bytes);

    ListHolder loaded;
    EXPECT_EQ(LoadRSSListFromFile(dir.path().c_str(), "RSS.list", loaded.get(), 1, 0),
              kRssFileError);
    ASSERT_EQ(loaded.list().Count, 3);
    EXPECT_EQ(urlAt(loaded, 1), "http://example.test/feed1.xml");
    EXPECT_EQ(urlAt(loaded, 2), "http://example.test/feed3.xml");

    ASSERT_EQ(SaveRSSListToFile(path.c_str(), loaded.get(), 0), kRssOk);
    EXPECT_EQ(readFile(path + ".damaged"), bytes);
}

TEST(FeedListDamage, GarbageAndOverlongAddressesNeverCrashOrOverflow) {
    TempDir dir;
    const std::string path = dir.file("RSS.list");
    std::string garbage;
    for (int i = 0; i < 5000; ++i) {
        garbage += static_cast<char>((i * 7919) % 256);
    }
    writeFile(path, garbage);
    ListHolder loaded;
    EXPECT_EQ(LoadRSSListFromFile(dir.path().c_str(), "RSS.list", loaded.get(), 1, 0),
              kRssFileError);
    EXPECT_EQ(loaded.list().Count, 0);

    // A hand-made line with a correct check value but a 300-byte address.
    const std::string payload = "http://" + std::string(300, 'a') + "\tx";
    writeFile(path, "QUILLBOX-FEEDS 1\nF " + rss::crcHex(payload) + " " + payload + "\nEND 1\n");
    EXPECT_EQ(LoadRSSListFromFile(dir.path().c_str(), "RSS.list", loaded.get(), 1, 0),
              kRssFileError);
    EXPECT_EQ(loaded.list().Count, 0);
}

}  // namespace
}  // namespace quillbox::test
