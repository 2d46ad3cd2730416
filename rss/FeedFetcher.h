#pragma once
// Updating one feed: fetch (conditional), parse, merge into its store, fetch
// pictures, remember the outcome.

#include <cstdint>
#include <string>

#include "common/RSSTypes.h"
#include "rss/ImageFetcher.h"
#include "rss/NetworkOptions.h"
#include "rss/NewsStore.h"

namespace quillbox::rss {

struct UpdateOptions {
    NetworkOptions network;
    bool pictures = false;  // fetch the items' pictures
    StoreLimits limits;
    ImageLimits imageLimits;
    std::size_t pictureBudget = 300;  // picture fetches per feed update
    std::int64_t now = 0;             // Unix seconds; 0: the clock
};

// Fetches entry.URL and merges its news into the store under rssFolder (a
// system path). Fills entry.Title (system ANSI code page; the address when the
// feed has no title). Returns kRssOk (also for 304 Not Modified),
// kRssHostUnreachable, kRssNoDocument, kRssNotAFeed, or kRssFileError when the
// news could not be stored. A failure never rewrites the store file; it is
// recorded beside it (saveFailedFetch) for the book.
std::uint8_t updateFeed(TRSSItem& entry, const std::string& rssFolder,
                        const UpdateOptions& options);

// The feed's address as UTF-8 from the entry's ANSI bytes.
std::string entryUrl(const TRSSItem& entry);

}  // namespace quillbox::rss
