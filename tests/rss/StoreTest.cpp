// The news store of one feed: item identity, what counts as new, limits, and
// store files that are damaged or belong to another feed.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rss/DeliveredKeys.h"
#include "rss/Files.h"
#include "rss/NewsStore.h"
#include "tests/support/TempDir.h"

namespace quillbox::rss {
namespace {

constexpr std::int64_t kNow = 1'800'000'000;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 86400;

ParsedItem item(const std::string& id, const std::string& link, std::int64_t published,
                const std::string& title = "t") {
    ParsedItem parsed;
    parsed.id = id;
    parsed.link = link;
    parsed.published = published;
    parsed.title = title;
    parsed.contentHtml = "<p>" + title + "</p>";
    return parsed;
}

TEST(ItemIdentity, SchemeCaseAndSlashDoNotMakeANewItem) {
    EXPECT_EQ(itemKey(item("http://Example.test/post/1/", "", 0)),
              itemKey(item("https://example.test/post/1", "", 0)));
    EXPECT_EQ(itemKey(item("", "http://example.test/a#comments", 0)),
              itemKey(item("", "https://example.test/a", 0)));
    // A permalink guid and a link to the same page are the same item.
    EXPECT_EQ(itemKey(item("http://example.test/a", "", 0)),
              itemKey(item("", "http://example.test/a/", 0)));
    EXPECT_EQ(itemKey(item("tag:x,2024:1", "http://example.test/a", 0)), "i:tag:x,2024:1");
    EXPECT_NE(itemKey(item("", "", 0, "one")), itemKey(item("", "", 0, "two")));
    EXPECT_EQ(itemKey(item("", "", kNow, "one")), itemKey(item("", "", kNow + kDay, "one")));
}

TEST(StoreMerge, RedatedAndMovedItemsStayKnown) {
    FeedStore store;
    StoreLimits limits;
    std::vector<std::string> added =
        mergeItems(store,
                   {item("http://example.test/1", "", kNow - kHour),
                    item("", "http://example.test/2", kNow - 2 * kHour),
                    item("", "http://example.test/2", kNow - 2 * kHour)},
                   kNow, limits);
    EXPECT_EQ(added.size(), 2u);
    store.items[0].delivered = true;

    // The feed re-dates everything and moves to https.
    added = mergeItems(store,
                       {item("https://example.test/1", "", kNow + kHour),
                        item("", "https://example.test/2/", kNow + kHour),
                        item("", "https://example.test/3", kNow + kHour)},
                       kNow + 2 * kHour, limits);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0], "u:example.test/3");
    ASSERT_EQ(store.items.size(), 3u);
    EXPECT_TRUE(store.items[0].delivered);
    EXPECT_EQ(store.items[0].published, kNow - kHour);
}

TEST(StoreLimitsTest, OldAndSurplusItemsAreDroppedButRemembered) {
    FeedStore store;
    StoreLimits limits;
    std::vector<ParsedItem> items;
    for (int i = 0; i < 130; ++i) {
        items.push_back(item("", "http://example.test/" + std::to_string(i), kNow - i * 60));
    }
    items.push_back(item("", "http://example.test/old", kNow - 8 * kDay));
    mergeItems(store, items, kNow, limits);
    pruneStore(store, kNow, limits);
    ASSERT_EQ(store.items.size(), limits.maxItems);
    EXPECT_EQ(store.items.front().key, "u:example.test/0");
    EXPECT_EQ(store.items.back().key, "u:example.test/99");
    EXPECT_EQ(store.seen.size(), 31u);

    // Nothing dropped comes back, whatever date the feed now gives it.
    for (ParsedItem& again : items) {
        again.published = kNow + kHour;
    }
    EXPECT_TRUE(mergeItems(store, items, kNow + kHour, limits).empty());

    // A week later the kept items age out too.
    pruneStore(store, kNow + 7 * kDay + 1, limits);
    EXPECT_TRUE(store.items.empty());
    EXPECT_TRUE(mergeItems(store, items, kNow + 7 * kDay + 2, limits).empty());
}

TEST(StoreLimitsTest, UndatedItemsAgeFromTheirFirstFetch) {
    FeedStore store;
    StoreLimits limits;
    mergeItems(store, {item("a", "", 0)}, kNow, limits);
    pruneStore(store, kNow + 6 * kDay, limits);
    EXPECT_EQ(store.items.size(), 1u);
    pruneStore(store, kNow + 8 * kDay, limits);
    EXPECT_TRUE(store.items.empty());
    EXPECT_TRUE(mergeItems(store, {item("a", "", 0)}, kNow + 8 * kDay, limits).empty());
}

FeedStore sampleStore() {
    FeedStore store;
    store.identity = "example.test/feed";
    store.title = "Лента\nс переносом";
    store.siteLink = "http://example.test/";
    store.fetch.etag = "\"abc\"";
    store.fetch.lastModified = "Sat, 16 Dec 2023 12:00:00 GMT";
    store.fetch.lastResult = 4;
    store.fetch.lastReason = "The server answered with status 500.";
    StoredItem stored;
    stored.key = "i:1";
    stored.title = "T";
    stored.contentHtml = std::string("binary\0bytes\n8:and fake\nrecords", 31);
    stored.published = kNow;
    stored.firstSeen = kNow + 1;
    stored.delivered = true;
    stored.imagesDone = true;
    stored.imageUrls = {"http://example.test/a.jpg", "http://example.test/b.png"};
    store.items.push_back(stored);
    store.seen.push_back(SeenKey{"u:example.test/gone", kNow});
    return store;
}

TEST(StoreFile, RoundTripKeepsEveryField) {
    test::TempDir dir;
    const std::string path = dir.file("news/x.news");
    FeedStore store = sampleStore();
    store.items[0].images.push_back(
        StoredImage{"http://example.test/a.jpg", dir.file("images/x/p.jpg"), "image/jpeg"});
    ASSERT_TRUE(saveStore(path, store).ok());
    const FeedStore loaded = loadStore(path, store.identity);
    EXPECT_EQ(loaded.title, store.title);
    EXPECT_EQ(loaded.fetch.etag, store.fetch.etag);
    EXPECT_EQ(loaded.fetch.lastModified, store.fetch.lastModified);
    EXPECT_EQ(loaded.fetch.lastResult, 4);
    EXPECT_EQ(loaded.fetch.lastReason, store.fetch.lastReason);
    ASSERT_EQ(loaded.items.size(), 1u);
    EXPECT_EQ(loaded.items[0].contentHtml, store.items[0].contentHtml);
    EXPECT_EQ(loaded.items[0].imageUrls, store.items[0].imageUrls);
    EXPECT_TRUE(loaded.items[0].delivered);
    EXPECT_TRUE(loaded.items[0].imagesDone);
    ASSERT_EQ(loaded.items[0].images.size(), 1u);
    EXPECT_EQ(loaded.items[0].images[0].file, dir.file("images/x/p.jpg"));
    ASSERT_EQ(loaded.seen.size(), 1u);
    EXPECT_EQ(loaded.seen[0].key, "u:example.test/gone");

    // A store written before there were keys files loads the same.
    ASSERT_EQ(::unlink(deliveredKeysPath(path).c_str()), 0);
    const FeedStore old = loadStore(path, store.identity);
    ASSERT_EQ(old.items.size(), 1u);
    EXPECT_TRUE(old.items[0].delivered);
    EXPECT_EQ(old.seen.size(), 1u);
}

TEST(StoreFile, DamagedFilesKeepTheirKeysAndAreKeptAsideOnSave) {
    test::TempDir dir;
    const std::string path = dir.file("news/x.news");
    const FeedStore store = sampleStore();  // "i:1" delivered, "u:example.test/gone" dropped
    ASSERT_TRUE(saveStore(path, store).ok());
    const std::string bytes = test::readFile(path);
    const std::string keysPath = deliveredKeysPath(path);
    const std::string keys = test::readFile(keysPath);
    ASSERT_NE(keys.find("i:1"), std::string::npos);

    EXPECT_TRUE(loadStore(path, "example.test/other").items.empty());
    std::string flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x20;
    std::string badCheck = bytes;
    badCheck[bytes.size() - 3] ^= 0x01;
    struct Case {
        const char* name;
        std::string bytes;
        bool keysFile;       // the keys file beside it is intact
        bool keysInRecords;  // the damage leaves the records readable
    };
    const Case cases[] = {
        {"byte flipped", flipped, true, false},
        {"check value flipped, no keys file", badCheck, false, true},
        {"cut in half", bytes.substr(0, bytes.size() / 2), true, false},
        {"cut after the header", bytes.substr(0, 20), true, false},
        {"garbage", std::string("\x89PNG\r\n\x1A\n\0\0 not a store", 22), true, false},
    };
    int kept = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(path, c.bytes);
        if (c.keysFile) {
            test::writeFile(keysPath, keys);
        } else {
            ::unlink(keysPath.c_str());
        }
        FeedStore loaded = loadStore(path, store.identity);
        EXPECT_TRUE(loaded.items.empty());
        EXPECT_EQ(loaded.identity, store.identity);
        EXPECT_EQ(loaded.fetch.lastSuccess, 0);
        if (c.keysFile || c.keysInRecords) {
            // Neither the delivered item nor the dropped one is news again.
            EXPECT_TRUE(
                mergeItems(loaded,
                           {item("1", "", kNow), item("", "http://example.test/gone", kNow)}, kNow,
                           StoreLimits{})
                    .empty());
        }
        // Saving never overwrites the damaged bytes: they are kept aside.
        ASSERT_TRUE(saveStore(path, loaded).ok());
        const std::string aside = path + ".damaged" + (kept == 0 ? "" : "." + std::to_string(kept));
        EXPECT_EQ(test::readFile(aside), c.bytes);
        ++kept;
        EXPECT_TRUE(readStoreFile(path).ok());
    }

    // A damaged line of the keys file costs only its own key.
    ASSERT_TRUE(saveStore(path, store).ok());
    std::string keysDamaged = test::readFile(keysPath);
    keysDamaged[keysDamaged.find("i:1")] = 'j';
    test::writeFile(keysPath, keysDamaged);
    test::writeFile(path, "garbage");
    FeedStore loaded = loadStore(path, store.identity);
    ASSERT_EQ(loaded.seen.size(), 1u);
    EXPECT_EQ(loaded.seen[0].key, "u:example.test/gone");
}

}  // namespace
}  // namespace quillbox::rss
