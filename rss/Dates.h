#pragma once
// Dates as feeds write them.

#include <cstdint>
#include <string_view>

namespace quillbox::rss {

// Unix seconds of a feed date, or 0 when it cannot be read. Understands RFC 822
// dates and their common variants (no day name, two-digit years, full month
// names, named zones, "PM", "1500" times), RFC 3339 / ISO 8601 (date only, no
// zone, fractions, short fields, "2006-01-11 16:43:22 -0800"), "2020/1/10
// 14:03:00" and plain Unix timestamps. A date without a zone is taken as UTC.
std::int64_t parseFeedDate(std::string_view text);

// Unix seconds of a civil UTC date and time (no range checks).
std::int64_t unixTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace quillbox::rss
