// A language module for the tests, set up by compile definitions:
// FAKE_NAME (display name, also string 1), FAKE_SLOT, and optionally
// FAKE_IDENTIFIER (default: the real identifier) and FAKE_CHARSET (string 55;
// left out when not defined). String 51 is longer than the program keeps. It is
// built without captions, so it holds no pictures.

#include <array>

#include "languages/LanguageModule.h"

namespace quillbox::languages {
namespace {

#ifndef FAKE_IDENTIFIER
#define FAKE_IDENTIFIER kLanguageIdentifier
#endif

constexpr auto kLongText = [] {
    std::array<char, 1200> text{};
    text.fill('x');
    return text;
}();

constexpr LanguageString kStrings[] = {
    {1, FAKE_NAME},
    {51, std::string_view(kLongText.data(), kLongText.size())},
#ifdef FAKE_CHARSET
    {55, FAKE_CHARSET},
#endif
};

constexpr LanguageTexts kTexts{FAKE_IDENTIFIER, FAKE_NAME, FAKE_SLOT, CodePage::Windows1252,
                               kStrings};
static_assert(noFaultyText<firstFaultyText(kTexts)>());

}  // namespace

const LanguageTexts& languageTexts() {
    return kTexts;
}

}  // namespace quillbox::languages
