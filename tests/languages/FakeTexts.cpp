// A language module for the tests, set up by compile definitions:
// FAKE_NAME (display name, also string 1), FAKE_SLOT, and optionally
// FAKE_IDENTIFIER (default: the real identifier) and FAKE_CHARSET (string 55;
// left out when not defined). String 51 is longer than the program keeps, and
// the module holds one picture, "MenuIcon".

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

constexpr unsigned char kPicture[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr LanguagePicture kPictures[] = {{"MenuIcon", kPicture}};

constexpr LanguageTexts kTexts{FAKE_IDENTIFIER,       FAKE_NAME, FAKE_SLOT,
                               CodePage::Windows1252, kStrings,  kPictures};
static_assert(noFaultyText<firstFaultyText(kTexts)>());

}  // namespace

const LanguageTexts& languageTexts() {
    return kTexts;
}

}  // namespace quillbox::languages
