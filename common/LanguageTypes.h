#pragma once
// The record a language library fills in GetResourceInfo.

#include <cstddef>
#include <cstdint>

#include "common/FixedText.h"

struct TResourceInfo {
    quillbox::ShortString<30> Identifier;  // must equal the language identifier
    quillbox::ShortString<64> DisplayName;
    std::uint8_t Padding[3];
    std::int32_t Slot;  // 1..25
};

static_assert(sizeof(TResourceInfo) == 100);
static_assert(offsetof(TResourceInfo, Identifier) == 0);
static_assert(offsetof(TResourceInfo, DisplayName) == 31);
static_assert(offsetof(TResourceInfo, Slot) == 96);
