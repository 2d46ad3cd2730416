#pragma once
// The feed list in memory (TRSSList, entries owned by this library) and its
// file RSS/RSS.list.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/RSSTypes.h"

namespace quillbox::rss {

struct StoredFeed {
    std::string url;    // ANSI bytes as kept in TRSSItem::URL
    std::string title;  // ANSI bytes as kept in TRSSItem::Title
};

struct FeedListFile {
    std::vector<StoredFeed> feeds;
    bool complete = false;  // header, every line and the closing count were intact
};

// Reads the bytes of a list file; damaged lines are left out.
FeedListFile parseFeedList(std::string_view bytes);
// The bytes of a list file holding the list's feeds.
std::string formatFeedList(const TRSSList& list);

// Replaces the list's entries by the file's feeds. Returns kRssOk for a complete
// or missing file, kRssFileError when something could not be read.
std::uint8_t loadFeedList(const std::string& path, TRSSList& list);
// Writes the list atomically; a damaged file in its place is kept as
// path + ".damaged[.N]" first. Returns kRssOk or kRssFileError.
std::uint8_t saveFeedList(const std::string& path, const TRSSList& list);

void clearFeedList(TRSSList& list);
// position is 1-based; Count + 1 appends. kRssOk or kRssRefused.
std::uint8_t insertFeed(TRSSList& list, std::uint16_t position, const TRSSItem& entry);
std::uint8_t removeFeed(TRSSList& list, std::uint16_t position);

}  // namespace quillbox::rss
