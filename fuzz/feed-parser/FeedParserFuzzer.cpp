// Any bytes as a fetched document, the way the feed fetcher hands it on: the
// encoding is found and the text decoded, mended and read as a feed. The
// Content-Type charset that comes with it is picked by the input's length, so
// the seeds stay plain documents. Checks what the headers promise: decoded
// text is valid UTF-8 without a byte-order mark, every text of the feed is
// UTF-8, the item count stays within its limit and pictures never repeat.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "rss/FeedParser.h"
#include "rss/TextEncoding.h"
#include "rss/XmlRepair.h"

namespace {

using namespace quillbox::rss;

// Charsets a server may name, known and unknown, and none.
constexpr std::string_view kHttpCharsets[] = {
    "", "utf-8", "windows-1251", "koi8-r", "iso-8859-1", "utf-16", "cp-1251", "no-such-charset",
};

void requireUtf8(std::string_view text) {
    if (!isValidUtf8(text)) {
        __builtin_trap();
    }
}

void checkFeed(const ParsedFeed& feed) {
    if (feed.items.size() > kMaxParsedItems) {
        __builtin_trap();
    }
    requireUtf8(feed.title);
    requireUtf8(feed.link);
    for (const ParsedItem& item : feed.items) {
        requireUtf8(item.id);
        requireUtf8(item.title);
        requireUtf8(item.link);
        requireUtf8(item.author);
        requireUtf8(item.contentHtml);
        const std::set<std::string> distinct(item.images.begin(), item.images.end());
        if (distinct.size() != item.images.size()) {
            __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view httpCharset = kHttpCharsets[size % std::size(kHttpCharsets)];

    const DecodedDocument decoded = decodeDocument(bytes, httpCharset);
    requireUtf8(decoded.utf8);
    if (decoded.utf8.rfind("\xEF\xBB\xBF", 0) == 0) {
        __builtin_trap();
    }
    requireUtf8(repairXml(decoded.utf8));

    const quillbox::Result<ParsedFeed> feed =
        parseFeed(bytes, httpCharset, "http://feeds.example.test/news/feed.xml");
    if (feed.ok()) {
        checkFeed(feed.value());
    } else if (feed.error().code != kNotAFeed) {
        __builtin_trap();
    }
    return 0;
}
