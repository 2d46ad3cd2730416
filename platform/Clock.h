#pragma once
// The one clock of the program and its libraries. Everything that needs "now"
// (stamps in files, the account key's day, the news book's date, timers)
// asks here, so tests can run the same code in virtual time: they set the
// clock, move it forward, and put it back to the system's.

#include <chrono>
#include <cstdint>
#include <ctime>

namespace quillbox::platform {

using ClockTime = std::chrono::system_clock::time_point;

// The current time: the system's, or the virtual time a test has set.
ClockTime clockNow();

// clockNow() as whole seconds since 1970-01-01 UTC.
std::int64_t clockSeconds();

// From now on clockNow() answers `time` and moves only through advanceClock().
// Any thread may call it; meant for tests.
void setVirtualClock(ClockTime time);

// Moves the virtual time forward by `step` (nothing happens on the system clock).
void advanceClock(std::chrono::milliseconds step);

// Returns to the system clock.
void useSystemClock();

// True while a virtual time is set.
bool clockIsVirtual();

// The calendar fields (local time zone) of `seconds` since the epoch; false when
// the system cannot represent that time.
bool localCalendar(std::int64_t seconds, std::tm& fields);

}  // namespace quillbox::platform
