#pragma once
// Updating one feed: fetch (conditional), parse, merge into its store, fetch
// pictures, remember the outcome.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// Performs one feed request and gives its answer with the body; httpGet with the
// options' pump when empty.
using FeedFetch =
    std::function<Result<platform::HttpResponse>(const platform::HttpRequest& request)>;

// Fetches entry.URL and merges its news into the store under rssFolder (a
// system path). When the address answers with an HTML page, the first feed the
// page declares (FeedDiscovery.h) is fetched once instead, if it is http or
// https, and no validators are kept for it, so the next update is a full one;
// entry.URL and the store's identity stay those of the page. Fills entry.Title (system ANSI code
// page; the address when the feed has no title). Returns kRssOk (also for 304 Not Modified),
// kRssHostUnreachable, kRssNoDocument, kRssNotAFeed, or kRssFileError when the
// news could not be stored. A failure never rewrites the store file; it is
// recorded beside it (saveFailedFetch) for the book. A fetch cancelled through
// the pump (platform::TransferCancelled) gives kRssHostUnreachable and records
// nothing.
std::uint8_t updateFeed(TRSSItem& entry, const std::string& rssFolder, const UpdateOptions& options,
                        const FeedFetch& fetch = FeedFetch());

// The request updateFeed sends for a feed address (UTF-8, as typed) whose store
// holds this fetch record: conditional when the record allows it.
platform::HttpRequest feedRequest(const std::string& typedUrl, const FetchRecord& record,
                                  const NetworkOptions& network);
// Whether the request is conditional: sent with If-None-Match or
// If-Modified-Since, so that 304 means "unchanged".
bool isConditional(const FetchRecord& record);

// A feed's address as UTF-8 from an entry's ANSI bytes.
std::string addressText(std::string_view ansiUrl);
std::string entryUrl(const TRSSItem& entry);

}  // namespace quillbox::rss
