#pragma once
// What one language module holds: its name, slot, code page, texts and
// pictures. Each language folder defines languageTexts() (its Texts.cpp); the
// pictures come from the source quillbox_language() generates from the
// language's captions, or from NoPictures.cpp. LanguageExports.cpp turns both
// into the C interface of contracts/Language.h.

#include <cstdint>
#include <span>
#include <string_view>

#include "common/LanguageTypes.h"
#include "languages/CodePageTable.h"

namespace quillbox::languages {

// Language string id, written in UTF-8; the module delivers it in its code page.
struct LanguageString {
    int id;
    std::string_view text;
};

// A button picture: PNG bytes under the name the window asks for.
struct LanguagePicture {
    std::string_view name;
    std::span<const unsigned char> png;
};

struct LanguageTexts {
    std::string_view identifier;   // kLanguageIdentifier for a real module
    std::string_view displayName;  // UTF-8, at most 64 bytes once encoded
    std::int32_t slot;
    CodePage codePage;
    std::span<const LanguageString> strings;  // an id left out: no such string
};

// The first fault of texts: -1 when the display name does not encode in the
// code page, else the id of the first string that lies outside
// 1..kLanguageStringCount, repeats an earlier id or does not encode; 0 when
// there is none. A Texts.cpp checks it with noFaultyText, so a fault stops the build.
constexpr int firstFaultyText(const LanguageTexts& texts) {
    if (!encodes(texts.displayName, texts.codePage)) {
        return -1;
    }
    for (std::size_t i = 0; i < texts.strings.size(); ++i) {
        const LanguageString& entry = texts.strings[i];
        if (entry.id < 1 || entry.id > kLanguageStringCount ||
            !encodes(entry.text, texts.codePage)) {
            return entry.id;
        }
        for (std::size_t k = 0; k < i; ++k) {
            if (texts.strings[k].id == entry.id) {
                return entry.id;
            }
        }
    }
    return 0;
}

// Compiles only when faultyId is 0; otherwise the build error names the id
// (the instantiation noFaultyText<id>), -1 standing for the display name.
template <int faultyId>
constexpr bool noFaultyText() {
    static_assert(faultyId == 0, "a text the module cannot deliver");
    return true;
}

// The texts of the language this module carries; defined by its Texts.cpp.
const LanguageTexts& languageTexts();

// The button pictures of this module, static bytes; empty when it has none.
std::span<const LanguagePicture> languagePictures();

}  // namespace quillbox::languages
