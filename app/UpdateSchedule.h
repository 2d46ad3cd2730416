#pragma once
// When an automatic update is due: the period tables of the feeds and of the
// bookshelves, and the test of a stored time against the clock.

#include "common/SystemTypes.h"

namespace quillbox::app {

// Minutes of a feed period number (1..6: 60, 120, 180, 360, 720, 1440), or 0
// for a number without an entry.
int rssPeriodMinutes(int number);
// Minutes of a bookshelf period number (1..3: 360, 720, 1440), or 0.
int shelfPeriodMinutes(int number);

// Due when the year or the month differ, else when the minutes between the
// two times within the month (either way round) exceed the period; a period of
// 0 (no entry) is due only by year or month.
bool updateDue(const TStamp& last, const TStamp& now, int periodMinutes);

}  // namespace quillbox::app
