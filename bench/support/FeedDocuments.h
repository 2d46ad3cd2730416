#pragma once
// Feed documents for the feed benchmarks: RSS 2.0 in UTF-8 with items of about
// 1 KB of HTML each, the size of a typical news teaser.

#include <cstdint>
#include <string>

namespace quillbox::bench {

// The HTML text of item number `item` of feed number `feed` (about 1 KB).
std::string newsItemHtml(int feed, int item);

// An RSS 2.0 document of feed number `feed` with `items` items, one a minute
// back from `now` (Unix seconds). 50 items make about 50 KB.
std::string feedDocument(int feed, int items, std::int64_t now);

}  // namespace quillbox::bench
