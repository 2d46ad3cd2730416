#include "app/UpdateSchedule.h"

#include <cstdlib>

namespace quillbox::app {
namespace {

int minuteOfMonth(const TStamp& time) {
    return time.Day * 1440 + time.Hour * 60 + time.Minute;
}

}  // namespace

int rssPeriodMinutes(int number) {
    constexpr int kMinutes[] = {60, 120, 180, 360, 720, 1440};
    return number >= 1 && number <= 6 ? kMinutes[number - 1] : 0;
}

int shelfPeriodMinutes(int number) {
    return number >= 1 && number <= 3 ? rssPeriodMinutes(number + 3) : 0;
}

bool updateDue(const TStamp& last, const TStamp& now, int periodMinutes) {
    if (last.Year != now.Year || last.Month != now.Month) {
        return true;
    }
    return periodMinutes > 0 && std::abs(minuteOfMonth(last) - minuteOfMonth(now)) > periodMinutes;
}

}  // namespace quillbox::app
