#pragma once
// How the library talks to the network: proxy, pump, limits. One value is built
// per fetch from the caller's user data.

#include <chrono>
#include <cstdint>
#include <string>

#include "common/SystemTypes.h"
#include "platform/Http.h"

namespace quillbox::rss {

struct NetworkOptions {
    platform::ProxySettings proxy;  // host empty: direct
    platform::Pump pump;            // may be empty
    std::string userAgent = "Quillbox/0.1 (news reader)";
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds stallTimeout{20000};
    // A whole transfer is cut after this long even while bytes trickle in.
    std::chrono::milliseconds totalTimeout{120000};
    int maxRedirects = 5;
    std::uint64_t maxFeedBytes = 8u << 20;
};

// Proxy settings from the user's record: its short strings are in the system
// ANSI code page and become UTF-8 here. No proxy unless UseProxy is set and a
// host is given.
platform::ProxySettings proxyOf(const TUserData& userData);

}  // namespace quillbox::rss
