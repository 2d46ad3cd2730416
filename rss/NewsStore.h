#pragma once
// The news kept for each feed under RSS/news/: the items fetched so far with
// their delivered state, the keys of items already dropped (so they never come
// back), and what the last fetch gave (ETag, Last-Modified, outcome).

#include <cstdint>
#include <string>
#include <vector>

#include "common/Result.h"
#include "rss/FeedParser.h"
#include "rss/NewsTypes.h"

namespace quillbox::rss {

struct StoreLimits {
    static constexpr std::int64_t kDaySeconds = 86400;
    std::size_t maxItems = 100;                    // per feed, newest kept
    std::int64_t maxAgeSeconds = 7 * kDaySeconds;  // older items are dropped
    std::size_t maxSeenKeys = 3000;                // keys of dropped items remembered per feed
    std::int64_t seenRetentionSeconds = 90 * kDaySeconds;  // since the feed last listed them
};

struct StoredItem {
    std::string key;  // identity within the feed (see itemKey)
    std::string title;
    std::string link;
    std::string author;
    std::int64_t published = 0;  // as the feed first dated it; 0 when undated
    std::int64_t firstSeen = 0;
    std::string contentHtml;
    std::vector<std::string> imageUrls;  // candidates named by the feed and the text
    std::vector<StoredImage> images;     // those fetched and kept
    bool imagesDone = false;             // pictures were looked for
    bool delivered = false;              // went into a book that reached the reader
};

struct SeenKey {
    std::string key;
    std::int64_t lastSeen = 0;  // when the feed last listed it
};

struct FetchRecord {
    std::string etag;
    std::string lastModified;
    std::int64_t lastAttempt = 0;
    std::int64_t lastSuccess = 0;
    int lastResult = 0;      // result byte of the last fetch; 0 never fetched
    std::string lastReason;  // readable sentence when lastResult is not 255
};

struct FeedStore {
    std::string identity;  // normalised feed address
    std::string title;     // UTF-8
    std::string siteLink;
    FetchRecord fetch;
    std::vector<StoredItem> items;  // newest first
    std::vector<SeenKey> seen;
};

// The identity of a feed: its address in normal form ("http://" assumed).
std::string feedIdentity(const std::string& url);
// Full path of the store file of a feed identity below rssFolder.
std::string storePath(const std::string& rssFolder, const std::string& identity);
// Folder for the pictures of a feed identity below rssFolder (trailing '/').
std::string imageFolder(const std::string& rssFolder, const std::string& identity);

// The identity of an item: its guid/id (as a normalised address when it is
// one), else its normalised link, else a hash of its title and text.
std::string itemKey(const ParsedItem& item);

// The store in path, with the keys file beside it (DeliveredKeys.h) applied:
// its delivered items are delivered, its other keys remembered as seen, so a
// store that was lost or damaged never brings delivered news back. A missing,
// damaged or foreign file (another identity) gives an empty store for
// identity that still remembers those keys, and those a damaged file yields.
// A failed fetch recorded beside the store (saveFailedFetch) after its last
// attempt sets the fetch outcome.
FeedStore loadStore(const std::string& path, const std::string& identity);
// The ETag, Last-Modified and last success of the store in path, read from the
// head of the file only and not checked against the rest: enough to prepare a
// request that loadStore later confirms. Empty when the file is missing,
// damaged at its head or another feed's.
FetchRecord peekFetchRecord(const std::string& path, const std::string& identity);
// The store in path whatever feed it belongs to, as written; error when
// missing or damaged.
Result<FeedStore> readStoreFile(const std::string& path);
// Writes the keys file, then the store, each atomically. A file at path that
// cannot be read whole is first kept beside it as path + ".damaged" (numbered
// when taken), and nothing is written when that fails.
Status saveStore(const std::string& path, const FeedStore& store);

// Records a failed fetch (attempt time, result byte, reason) beside the store
// in path, leaving the store file itself as it is.
Status saveFailedFetch(const std::string& path, std::int64_t attempt, int result,
                       const std::string& reason);
// Forgets the failed fetch recorded beside the store in path, if any.
void clearFailedFetch(const std::string& path);

// Adds the parsed items not yet known (each key once; items dated more than the
// age limit back are only remembered as seen), refreshes known undelivered ones,
// and returns the keys added.
std::vector<std::string> mergeItems(FeedStore& store, const std::vector<ParsedItem>& items,
                                    std::int64_t now, const StoreLimits& limits);

// Drops items older than the age limit and beyond the count limit (their keys
// are remembered), forgets old seen keys, and sorts newest first. Returns the
// picture files no remaining item uses.
std::vector<std::string> pruneStore(FeedStore& store, std::int64_t now, const StoreLimits& limits);

// Sort time of an item: its date, else when it was first fetched.
std::int64_t itemTime(const StoredItem& item);

}  // namespace quillbox::rss
