#include "languages/CodePageTable.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"

using quillbox::languages::CodePage;
using quillbox::languages::encodes;
using quillbox::languages::encodeText;

namespace {

std::string encoded(std::string_view utf8, CodePage page) {
    std::string bytes;
    if (!encodeText(utf8, page, [&](char c) { bytes.push_back(c); })) {
        return "<refused>";
    }
    return bytes;
}

}  // namespace

// Every character the table knows lands on the byte iconv gives it.
TEST(CodePageTable, AgreesWithIconvOnEveryByteItKnows) {
    for (const auto& [page, iconvName] : {std::pair{CodePage::Windows1251, "WINDOWS-1251"},
                                          std::pair{CodePage::Windows1252, "WINDOWS-1252"}}) {
        int known = 0;
        for (int byte = 1; byte < 256; ++byte) {
            const std::string single(1, static_cast<char>(byte));
            const auto utf8 = quillbox::platform::toUtf8(single, iconvName);
            if (utf8 && encodes(utf8.value(), page)) {
                EXPECT_EQ(encoded(utf8.value(), page), single) << iconvName << " byte " << byte;
                ++known;
            }
        }
        // ASCII, « » – —, and in windows-1251 the 66 Cyrillic letters and №.
        EXPECT_EQ(known, page == CodePage::Windows1251 ? 127 + 4 + 67 : 127 + 4) << iconvName;
    }
}

TEST(CodePageTable, RefusesWhatItCannotDeliverExactly) {
    const struct {
        const char* utf8;
        CodePage page;
    } refused[] = {
        {"Привет", CodePage::Windows1252},  // Cyrillic has no place in windows-1252
        {"Grüße", CodePage::Windows1251},   // a Latin letter outside the table
        {"€", CodePage::Windows1251},        {"😀", CodePage::Windows1251},  // four-byte sequence
        {"\xD0", CodePage::Windows1251},                                    // cut sequence
        {"\xC0\x80", CodePage::Windows1252},                                // overlong zero
        {"\x80", CodePage::Windows1252},  // stray continuation byte
    };
    for (const auto& entry : refused) {
        EXPECT_FALSE(encodes(entry.utf8, entry.page)) << entry.utf8;
    }
    EXPECT_EQ(encoded("Ёё«№»—", CodePage::Windows1251), "\xA8\xB8\xAB\xB9\xBB\x97");
}
