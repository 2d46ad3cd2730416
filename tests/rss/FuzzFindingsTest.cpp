// Inputs the feed parser fuzzer found, each named after what broke.

#include <gtest/gtest.h>

#include <string>

#include "rss/FeedParser.h"
#include "rss/TextEncoding.h"

namespace quillbox::rss {
namespace {

using namespace std::string_literals;

// A mark repeated after the first one was left at the start of the decoded
// text, and a cut-off UTF-16 document kept its second mark.
TEST(FuzzFindings, RepeatedByteOrderMarkLeavesNoMarkInTheDecodedText) {
    struct Case {
        std::string bytes;
        const char* httpCharset;
        std::string utf8;
    };
    const Case cases[] = {
        {"\xFF\xFE\xFF\xFE\xFF"s, "utf-16", ""},
        {"\xEF\xBB\xBF\xEF\xBB\xBF<rss/>"s, "", "<rss/>"},
        {"\xFF\xFE\xFF\xFE\xFF\xFE<\0r\0s\0s\0/\0>\0"s, "", "<rss/>"},
        {"\xFE\xFF\xFE\xFF\0<\0a\0/\0>\0"s, "", "<a/>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeDocument(c.bytes, c.httpCharset).utf8, c.utf8) << c.bytes.size();
    }
}

// Atom content of an unknown type is base64; what it decoded to went into the
// item as it was, which is not UTF-8.
TEST(FuzzFindings, Base64ContentOfAnUnknownTypeBecomesValidUtf8) {
    const std::string feed = R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry>)"
                             R"(<content type="xhtm|">Example Atom</content></entry></feed>)";
    const Result<ParsedFeed> parsed = parseFeed(feed, "", "http://example.test/feed.xml");
    ASSERT_TRUE(parsed.ok());
    ASSERT_EQ(parsed.value().items.size(), 1u);
    const ParsedItem& item = parsed.value().items[0];
    EXPECT_FALSE(item.contentHtml.empty());
    EXPECT_TRUE(isValidUtf8(item.contentHtml)) << item.contentHtml;
    EXPECT_TRUE(isValidUtf8(item.title)) << item.title;
}

}  // namespace
}  // namespace quillbox::rss
