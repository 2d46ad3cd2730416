#pragma once
// Feed lists exchanged with other feed readers as OPML files: reading the
// feed outlines of one into the list, and writing the list as one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/RSSTypes.h"
#include "common/Result.h"

namespace quillbox::rss {

// An OPML file larger than this is refused unread.
inline constexpr std::uint64_t kMaxOpmlBytes = 16u << 20;

// Error code of readOpmlFeeds: the document is not OPML (also one whose
// declared entities the parser refuses).
inline constexpr int kNotOpml = 1;

struct OpmlFeed {
    std::string url;    // the xmlUrl as written, blanks around it removed, UTF-8
    std::string title;  // title, else text, blanks collapsed, UTF-8; may be empty
};

// The feed outlines of an OPML document (any encoding the bytes or their
// declaration name) in document order, at any depth: outlines with a
// non-empty xmlUrl whose type is absent, "rss" or "atom". Nothing outside the
// bytes is loaded and declared entities are not expanded. Fails with kNotOpml.
Result<std::vector<OpmlFeed>> readOpmlFeeds(std::string_view bytes);

// Adds the feeds of the OPML file at path (a system path) to the end of the
// list through insertFeed, as the contract's ImportOPMLToRSSList describes,
// and counts what became of each in report (zeroed first). Returns kRssOk,
// kRssNotAFeed (nothing added), or kRssFileError when the file cannot be read
// or is larger than kMaxOpmlBytes.
std::uint8_t importOpml(const std::string& path, TRSSList& list, TOPMLReport& report);

// The list as an OPML 2.0 document in UTF-8; fails only when libxml2's writer
// does (no memory).
Result<std::string> formatOpml(const TRSSList& list);

// Writes formatOpml(list) to path (a system path) atomically. Returns kRssOk,
// or kRssFileError with the old file left as it was.
std::uint8_t exportOpml(const TRSSList& list, const std::string& path);

}  // namespace quillbox::rss
