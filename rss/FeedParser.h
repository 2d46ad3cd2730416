#pragma once
// Reading a fetched document as a feed: RSS 0.90, 0.91, 0.92, 2.0, RSS 1.0
// (RDF), Atom 0.3 and 1.0.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"

namespace quillbox::rss {

// At most this many items are read from one document.
inline constexpr std::size_t kMaxParsedItems = 1000;

struct ParsedItem {
    std::string id;                   // guid / id / rdf:about as written, or empty
    std::string title;                // plain text, UTF-8
    std::string link;                 // absolute
    std::string author;               // plain text
    std::int64_t published = 0;       // Unix seconds; 0 when the feed gives none
    std::string contentHtml;          // HTML, links absolute
    std::vector<std::string> images;  // absolute picture addresses, best first, no repeats
};

struct ParsedFeed {
    std::string format;             // "RSS 2.0", "RSS 1.0", "Atom 1.0" ...
    std::string title;              // plain text, UTF-8; may be empty
    std::string link;               // the site's address, absolute; may be empty
    std::vector<ParsedItem> items;  // document order
};

// Error code of parseFeed: the document is not a feed we can read.
inline constexpr int kNotAFeed = 9;

// Decodes (see TextEncoding.h), mends (XmlRepair.h) and reads the document.
// url is the address it came from (after redirects): the base of relative
// links. Items without a title, link, id or text are skipped. Fails with
// kNotAFeed and a readable sentence for a document that is not XML, not a
// feed, or whose declared entities trip the expansion limit.
Result<ParsedFeed> parseFeed(std::string_view bytes, std::string_view httpCharset,
                             const std::string& url);

}  // namespace quillbox::rss
