#pragma once
// The feed list shared with the RSS library. Only the library writes it.

#include <cstddef>
#include <cstdint>

inline constexpr std::uint16_t kMaxFeeds = 1000;

struct TRSSItem {
    char Title[501];
    char URL[251];  // the feed's address
    // The rest belongs to the library; a new entry has it zero.
    char LibraryText[21];
    std::uint8_t Padding;
    std::uint16_t LibraryWord;
    std::uint32_t LibraryLong;
};

static_assert(sizeof(TRSSItem) == 780);
static_assert(offsetof(TRSSItem, Title) == 0);
static_assert(offsetof(TRSSItem, URL) == 501);
static_assert(offsetof(TRSSItem, LibraryText) == 752);
static_assert(offsetof(TRSSItem, LibraryWord) == 774);
static_assert(offsetof(TRSSItem, LibraryLong) == 776);

struct TRSSList {
    TRSSItem* Items[kMaxFeeds];  // slot i holds feed i + 1
    std::uint16_t Count;
};

static_assert(offsetof(TRSSList, Count) == kMaxFeeds * sizeof(void*));

// What an OPML import did with the file's feed outlines.
struct TOPMLReport {
    std::uint16_t Added;             // put at the end of the list
    std::uint16_t AlreadyListed;     // the same address bytes were in the list
    std::uint16_t TooLong;           // longer than URL holds
    std::uint16_t NotRepresentable;  // characters the system code page cannot hold
    std::uint16_t BeyondLimit;       // left out because the list was full
    std::uint16_t Padding;
};

static_assert(sizeof(TOPMLReport) == 12);
