#pragma once
// The record a language module fills in GetResourceInfo, the identifier that
// marks a valid module, and the numbering and lengths of the language strings.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/FixedText.h"

// A module whose record carries exactly this identifier (same letter case, same
// length) is a language module; any other library is skipped.
inline constexpr std::string_view kLanguageIdentifier = "QK7T2-M4XPL-9RZC8-B3NWD-6FHJV";

struct TResourceInfo {
    quillbox::ShortString<30> Identifier;   // must equal kLanguageIdentifier
    quillbox::ShortString<64> DisplayName;  // in the language's own code page
    std::int32_t Slot;                      // 1..kLanguageSlots
};

static_assert(sizeof(TResourceInfo) == 100);
static_assert(offsetof(TResourceInfo, Identifier) == 0);
static_assert(offsetof(TResourceInfo, DisplayName) == 31);
static_assert(offsetof(TResourceInfo, Slot) == 96);
static_assert(kLanguageIdentifier.size() == 29);

// The slots a language can occupy: 1..kLanguageSlots.
inline constexpr int kLanguageSlots = 25;

// Language strings are numbered 1..kLanguageStringCount; the last one names
// the language's character set.
inline constexpr int kLanguageStringCount = 55;
inline constexpr int kCharsetStringId = 55;

// The most bytes of language string id the program keeps (a longer one is
// cut): 199 for 1..50, 999 for the help texts 51..54, 99 for the charset name.
constexpr std::size_t languageStringLimit(int id) {
    return id <= 50 ? 199 : (id <= 54 ? 999 : 99);
}
