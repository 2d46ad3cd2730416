#pragma once
// Settings and account records that cross into the Hostkit, Book and RSS
// libraries. Their byte layout, padding included, is an interface.

#include <cstddef>
#include <cstdint>

#include "common/FixedText.h"

static_assert(sizeof(bool) == 1, "records rely on one-byte bool");

// Year, month, day, hour, minute.
struct TStamp {
    std::uint16_t Year;
    std::uint16_t Month;
    std::uint16_t Day;
    std::uint16_t Hour;
    std::uint16_t Minute;
};
static_assert(sizeof(TStamp) == 10);

struct TSystemInfo {
    std::int32_t RSSUpdatePeriod;        // index 1..6: 60, 120, 180, 360, 720, 1440 minutes
    std::int32_t BookShelfUpdatePeriod;  // index 1..3: 360, 720, 1440 minutes
    std::int32_t Language;               // slot 1..25; -1 when none is chosen
    bool AutoUpdateRSS;
    bool AutoUpdateBookShelfs;
    bool Pictures;
    std::uint8_t Padding1;
    TStamp LastRSSUpdate;
    TStamp LastBookShelfUpdate;
    bool AutoRun;
    quillbox::TShortString BaseFolder;  // the program's folder, ending with a separator
    std::uint8_t Padding2[3];
};

static_assert(sizeof(TSystemInfo) == 296);
static_assert(offsetof(TSystemInfo, RSSUpdatePeriod) == 0);
static_assert(offsetof(TSystemInfo, BookShelfUpdatePeriod) == 4);
static_assert(offsetof(TSystemInfo, Language) == 8);
static_assert(offsetof(TSystemInfo, AutoUpdateRSS) == 12);
static_assert(offsetof(TSystemInfo, AutoUpdateBookShelfs) == 13);
static_assert(offsetof(TSystemInfo, Pictures) == 14);
static_assert(offsetof(TSystemInfo, LastRSSUpdate) == 16);
static_assert(offsetof(TSystemInfo, LastBookShelfUpdate) == 26);
static_assert(offsetof(TSystemInfo, AutoRun) == 36);
static_assert(offsetof(TSystemInfo, BaseFolder) == 37);

struct TUserData {
    quillbox::TShortString Login;  // empty: no account set
    quillbox::TShortString Password;
    bool UseProxy;
    quillbox::TShortString ProxyHost;
    std::uint8_t Padding1[3];
    std::int32_t ProxyPort;  // 0 when the user entered no number
    quillbox::TShortString ProxyLogin;
    quillbox::TShortString ProxyPassword;
    bool Pictures;  // copy of TSystemInfo::Pictures
    std::uint8_t Padding2[3];
};

static_assert(sizeof(TUserData) == 1292);
static_assert(offsetof(TUserData, Login) == 0);
static_assert(offsetof(TUserData, Password) == 256);
static_assert(offsetof(TUserData, UseProxy) == 512);
static_assert(offsetof(TUserData, ProxyHost) == 513);
static_assert(offsetof(TUserData, ProxyPort) == 772);
static_assert(offsetof(TUserData, ProxyLogin) == 776);
static_assert(offsetof(TUserData, ProxyPassword) == 1032);
static_assert(offsetof(TUserData, Pictures) == 1288);
