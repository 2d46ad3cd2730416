#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include "tests/support/EnvGuard.h"

using namespace quillbox;
using namespace quillbox::platform;
using quillbox::test::EnvGuard;

TEST(CodePage, CyrillicRoundTripsThroughWindows1251AndKoi8r) {
    const std::string utf8 = "Привет, мир";
    Result<std::string> cp1251 = fromUtf8(utf8, "WINDOWS-1251");
    ASSERT_TRUE(cp1251);
    EXPECT_EQ(cp1251.value(), "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0");
    Result<std::string> back = toUtf8(cp1251.value(), "WINDOWS-1251");
    ASSERT_TRUE(back);
    EXPECT_EQ(back.value(), utf8);

    Result<std::string> koi8 = fromUtf8(utf8, "KOI8-R");
    ASSERT_TRUE(koi8);
    EXPECT_EQ(static_cast<unsigned char>(koi8.value()[0]), 0xF0);  // П in KOI8-R
    EXPECT_EQ(toUtf8(koi8.value(), "KOI8-R").value(), utf8);
}

TEST(CodePage, UnrepresentableCharacterIsRefusedNotReplaced) {
    Result<std::string> result = fromUtf8("日本", "WINDOWS-1251");
    EXPECT_FALSE(result);
    EXPECT_EQ(fromUtf8Lossy("a日b", "WINDOWS-1251"), "a?b");
}

TEST(CodePage, InvalidUtf8InputFailsAndLossySkipsIt) {
    EXPECT_FALSE(
        fromUtf8("a\xFF"
                 "b",
                 "WINDOWS-1251"));
    EXPECT_FALSE(toUtf8("x", "NO-SUCH-CODEPAGE"));
}

TEST(CodePage, CharsetsMapToTheirCodePages) {
    EnvGuard guard("QUILLBOX_ANSI_CODEPAGE", std::nullopt);
    EXPECT_EQ(codePageForCharset(0), "WINDOWS-1252");
    EXPECT_EQ(codePageForCharset(1), "WINDOWS-1251");
    EXPECT_EQ(codePageForCharset(204), "WINDOWS-1251");
    EXPECT_EQ(codePageForCharset(238), "WINDOWS-1250");
    EnvGuard configured("QUILLBOX_ANSI_CODEPAGE", std::string("WINDOWS-1250"));
    EXPECT_EQ(codePageForCharset(1), "WINDOWS-1250");
}
