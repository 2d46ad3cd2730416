#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quillbox::platform {
namespace {

using namespace std::chrono_literals;

struct ClockTest : ::testing::Test {
    void TearDown() override { useSystemClock(); }
};

TEST_F(ClockTest, VirtualTimeStandsStillUntilAdvancedAndGivesWayToTheSystemClock) {
    const ClockTime start = std::chrono::sys_days{std::chrono::December / 6 / 2026} + 9h + 5min;
    setVirtualClock(start);
    EXPECT_TRUE(clockIsVirtual());
    EXPECT_EQ(clockNow(), start);
    EXPECT_EQ(clockSeconds(), 1796547900);

    advanceClock(750ms);
    advanceClock(1250ms);
    EXPECT_EQ(clockNow(), start + 2s);

    useSystemClock();
    EXPECT_FALSE(clockIsVirtual());
    advanceClock(24h);  // no effect on the system clock
    const auto drift = clockNow() - std::chrono::system_clock::now();
    EXPECT_LT(std::chrono::abs(drift), 5s);
}

}  // namespace
}  // namespace quillbox::platform
