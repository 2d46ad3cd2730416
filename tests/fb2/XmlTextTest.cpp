#include "rss/fb2/XmlText.h"

#include <gtest/gtest.h>

namespace quillbox::rss::fb2 {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(CleanText, KeepsValidUtf8ByteForByte) {
    const std::string text = "Новости \xE2\x80\x94 caf\xC3\xA9 \xF0\x9F\x93\xB0 tab\there\nline";
    EXPECT_EQ(cleanText(text), text);
}

TEST(CleanText, ReplacesEachBadByteOfInvalidUtf8) {
    EXPECT_EQ(cleanText("a\xFF"
                        "b"),
              "a" + kReplacement + "b");
    // Overlong form of '/', a UTF-16 surrogate and a code point past U+10FFFF.
    EXPECT_EQ(cleanText("\xC0\xAF"), kReplacement + kReplacement);
    EXPECT_EQ(cleanText("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);
    EXPECT_EQ(cleanText("\xF4\x90\x80\x80"),
              kReplacement + kReplacement + kReplacement + kReplacement);
    // A sequence cut short by the end of the text or by an ASCII byte.
    EXPECT_EQ(cleanText("\xD0"), kReplacement);
    EXPECT_EQ(cleanText("\xE2\x80"
                        "x"),
              kReplacement + kReplacement + "x");
}

TEST(CleanText, DropsCharactersXmlForbidsAndControls) {
    EXPECT_EQ(cleanText(std::string("a\0b", 3)), "ab");
    EXPECT_EQ(cleanText("a\x01\x08\x0B\x0C\x1F\x7F"
                        "b"),
              "ab");
    // C1 controls, U+FFFE and U+FFFF.
    EXPECT_EQ(cleanText("a\xC2\x80\xC2\x9F\xEF\xBF\xBE\xEF\xBF\xBF"
                        "b"),
              "ab");
    EXPECT_EQ(cleanText("\t\r\n"), "\t\r\n");
}

TEST(CleanLine, CollapsesAndTrimsWhitespace) {
    EXPECT_EQ(cleanLine("  one \t\r\n two\n\n"), "one two");
    EXPECT_EQ(cleanLine("\x01 x \x02"), "x");
    EXPECT_EQ(cleanLine(" \n "), "");
    // A no-break space is text, not layout.
    EXPECT_EQ(cleanLine("a\xC2\xA0 b"), "a\xC2\xA0 b");
}

}  // namespace
}  // namespace quillbox::rss::fb2
