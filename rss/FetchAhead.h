#pragma once
// Fetching the next feeds of the list while the caller updates one feed at a
// time. The caller still asks for each feed in turn and gets that feed's own
// result; meanwhile the requests for the feeds after it are already on the
// wire, on one multi handle on the caller's thread. An answer fetched ahead is
// only ever used for the address it was fetched for, at the same position of
// the same list, with the request updateFeed would send now; anything else is
// dropped and fetched afresh, so the results and stores are those of one fetch
// at a time. Nothing is stored from an answer until its feed is asked for.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/RSSTypes.h"
#include "rss/FeedFetcher.h"

namespace quillbox::rss {

struct AheadLimits {
    std::size_t maxTransfers = 16;  // on the wire at once, the asked-for feed included
    std::size_t maxPerHost = 2;
    std::size_t window = 64;                     // feeds after the asked-for one fetched ahead
    std::uint64_t maxHeldBytes = 64u << 20;      // answers fetched ahead, in memory, in all
    std::chrono::milliseconds maxUnused{60000};  // answers unused this long are dropped
};

// Tells the library that it changed this list (loaded, added to, deleted
// from, cleared): every answer fetched ahead for it is dropped, and its
// addresses are noted, so that fetching ahead never reads the caller's memory.
void noteListChanged(const TRSSList& list);

// updateFeed for an entry; when the entry is one of a list this library keeps,
// the feeds after it are fetched ahead. Entries of no list are fetched alone.
std::uint8_t updateFeedInList(TRSSItem& entry, const std::string& rssFolder,
                              const UpdateOptions& options);

// Stops every transfer and forgets every answer fetched ahead.
void dropFetchedAhead();

void setAheadLimits(const AheadLimits& limits);
AheadLimits aheadLimits();

struct AheadFigures {
    std::uint64_t heldBytes = 0;      // answers fetched ahead held now
    std::uint64_t mostHeldBytes = 0;  // the most held at once since resetAheadFigures
    std::size_t used = 0;             // answers fetched ahead that served their feed
    std::size_t dropped = 0;          // answers fetched ahead thrown away
};
AheadFigures aheadFigures();
void resetAheadFigures();

}  // namespace quillbox::rss
