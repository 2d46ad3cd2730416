#include "hostkit/IniText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace quillbox::hostkit;

namespace {
const std::string kCodePage = "WINDOWS-1251";
}

TEST(IniText, EveryByteAndRandomTextsRoundTrip) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        const std::string encoded = encodeValue(one, kCodePage);
        EXPECT_EQ(decodeValue(encoded, kCodePage), one) << byte << " -> " << encoded;
    }
    std::mt19937 random(42);
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 256, '\0');
        for (char& c : text) {
            c = static_cast<char>(random() % 256);
        }
        EXPECT_EQ(decodeValue(encodeValue(text, kCodePage), kCodePage), text);
        EXPECT_EQ(decodeValue(encodeValue(text, "WINDOWS-1252"), "WINDOWS-1252"), text);
        EXPECT_EQ(decodeValue(encodeValue(text, "NO-SUCH-CODEPAGE"), "NO-SUCH-CODEPAGE"), text);
    }
}

TEST(IniText, TextIsReadableWhereItCanBe) {
    // "Привет, мир" in windows-1251 comes out as UTF-8.
    EXPECT_EQ(encodeValue("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0", kCodePage),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80");
    // 0x98 has no character in windows-1251; comment signs and edge spaces are escaped.
    EXPECT_EQ(encodeValue("a\x98", kCodePage), "a\\x98");
    EXPECT_EQ(encodeValue(" a;b#c\\ ", kCodePage), "\\x20a\\x3Bb\\x23c\\\\\\x20");
    EXPECT_EQ(encodeValue("tab\there", kCodePage), "tab\\x09here");
}

TEST(IniText, HandEditedAndHostileValuesNeverBreakDecoding) {
    EXPECT_EQ(decodeValue("C:\\Temp\\x", kCodePage), "C:\\Temp\\x");
    EXPECT_EQ(decodeValue("\\x4", kCodePage), "\\x4");
    EXPECT_EQ(decodeValue("\\xZZ\\", kCodePage), "\\xZZ\\");
    EXPECT_EQ(decodeValue("\\x00", kCodePage), std::string(1, '\0'));
    EXPECT_EQ(decodeValue("\xF0\x9F\x93\x9A", kCodePage), std::nullopt);
    EXPECT_EQ(decodeValue("\xD0", kCodePage), std::nullopt);
}

TEST(IniText, LongValuesAreSplitIntoShortLinesAndJoinedBack) {
    std::string value;
    for (int i = 0; i < 255; ++i) {
        value.push_back(i % 5 == 0 ? ' ' : static_cast<char>(0xC0 + i % 64));
    }
    IniWriter writer;
    writer.comment("test");
    writer.section("Account");
    writer.entry("Password", encodeValue(value, kCodePage));
    writer.entry("Login", "next");
    writer.section("Other");
    writer.entry("Password", "other");

    const std::string& text = writer.text();
    std::size_t start = 0;
    int lines = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        EXPECT_LT(end - start, 199u) << "inih reads at most 199 bytes a line";
        start = end + 1;
        ++lines;
    }
    EXPECT_GT(lines, 6);

    const IniDocument document = IniDocument::parse(text);
    const std::optional<std::string> stored = document.value("account", "PASSWORD");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(decodeValue(*stored, kCodePage), value);
    EXPECT_EQ(document.value("Account", "Login"), "next");
    EXPECT_EQ(document.value("Other", "Password"), "other");
    EXPECT_EQ(document.value("Other", "Login"), std::nullopt);
}

TEST(IniText, LaterKeyReplacesAnEarlierOne) {
    const IniDocument document =
        IniDocument::parse("[A]\nKey = first\nOther = x\nKey = second\n[A]\nKey = third\n");
    EXPECT_EQ(document.value("A", "Key"), "third");
    EXPECT_EQ(document.value("A", "Other"), "x");
}
