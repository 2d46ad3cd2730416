#include "common/FixedText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/SystemTypes.h"

using namespace quillbox;

TEST(FixedText, LongTextIsCutToWidthMinusOneAndTerminated) {
    char field[11];
    std::memset(field, 'x', sizeof field);
    EXPECT_FALSE(setFieldText(field, "0123456789ABCDEF"));
    EXPECT_EQ(fieldText(field), "0123456789");
    EXPECT_EQ(field[10], 0);
}

TEST(FixedText, ShortTextZeroFillsTheRestSoEqualTextsHaveEqualBytes) {
    char a[11];
    char b[11];
    std::memset(a, 'x', sizeof a);
    std::memset(b, 'y', sizeof b);
    EXPECT_TRUE(setFieldText(a, "abc"));
    EXPECT_TRUE(setFieldText(b, "abc"));
    EXPECT_TRUE(sameFieldBytes(a, b));
    b[9] = 'z';  // a difference after the terminating zero still counts
    EXPECT_FALSE(sameFieldBytes(a, b));
}

TEST(FixedText, FieldWithoutTerminatorIsReadToItsWidthOnly) {
    char field[5] = {'a', 'b', 'c', 'd', 'e'};
    EXPECT_EQ(fieldText(field), "abcde");
    terminateField(field);
    EXPECT_EQ(fieldText(field), "abcd");
}

TEST(FixedText, ShortStringKeepsLengthByteAndCutsAt255) {
    TShortString value{};
    EXPECT_TRUE(value.assign("login"));
    EXPECT_EQ(value.Length, 5);
    EXPECT_EQ(value.text(), "login");
    const std::string longText(300, 'q');
    EXPECT_FALSE(value.assign(longText));
    EXPECT_EQ(value.Length, 255);
    EXPECT_EQ(value.text(), std::string(255, 'q'));
}

TEST(FixedText, ShortStringWithLyingLengthByteStaysInside) {
    ShortString<30> value{};
    value.Length = 200;  // as a hostile library might leave it
    EXPECT_EQ(value.text().size(), 30u);
}

TEST(SystemTypes, UserDataIsPlainBytesThatCopyWhole) {
    TUserData data{};
    data.Login.assign("reader");
    data.ProxyPort = 3128;
    data.Pictures = true;
    TUserData copy;
    std::memcpy(&copy, &data, sizeof data);
    EXPECT_EQ(copy.Login.text(), "reader");
    EXPECT_EQ(copy.ProxyPort, 3128);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&copy);
    EXPECT_EQ(bytes[772] | bytes[773] << 8, 3128);  // little-endian at its offset
    EXPECT_EQ(bytes[1288], 1);
}
