#include "app/TimerService.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/Clock.h"

namespace quillbox::app {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

TimerService& service() {
    return TimerService::instance();
}

struct VirtualTimeTest : ::testing::Test {
    void SetUp() override {
        service().useVirtualTime(true);
        m_start = service().now();
    }
    void TearDown() override { service().useVirtualTime(false); }
    milliseconds elapsed() const { return service().now() - m_start; }

    milliseconds m_start{0};
};

TEST_F(VirtualTimeTest, TicksEveryPeriodWithEventsProcessedBetweenAndDisabledTimersNever) {
    int handled = 0;
    int handledBeforeTick = -1;
    WindowTimer fast(15, true, [&] {
        handledBeforeTick = handled;
        QMetaObject::invokeMethod(
            qApp, [&] { ++handled; }, Qt::QueuedConnection);
    });
    WindowTimer disabled(15, false, [] { ADD_FAILURE() << "a disabled timer ticked"; });

    service().advance(750ms);

    EXPECT_EQ(fast.ticks(), 50u);
    EXPECT_EQ(disabled.ticks(), 0u);
    EXPECT_EQ(elapsed(), 750ms);
    // The event posted by each tick ran before the next one.
    EXPECT_EQ(handledBeforeTick, 49);
    EXPECT_EQ(handled, 50);
}

TEST_F(VirtualTimeTest, TimersFireInTimeOrderAndTiesInCreationOrder) {
    using Tick = std::tuple<milliseconds, int>;  // when, which timer (in creation order)
    std::vector<Tick> fired;
    WindowTimer slow(1000, true, [&] { fired.emplace_back(elapsed(), 0); });
    WindowTimer fast(15, true, [&] { fired.emplace_back(elapsed(), 1); });

    service().advance(3000ms);

    std::vector<Tick> expected;
    for (int k = 1; k <= 3; ++k) {
        expected.emplace_back(milliseconds(1000 * k), 0);
    }
    for (int k = 1; k <= 200; ++k) {
        expected.emplace_back(milliseconds(15 * k), 1);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fired, expected);
}

TEST_F(VirtualTimeTest, WaitEndsWhenATickDisablesItsTimerAndFailsAtOnceWithNothingLeft) {
    WindowTimer timer(100, true, [&timer] {
        if (timer.ticks() == 3) {
            timer.setEnabled(false);
        }
    });

    EXPECT_TRUE(service().waitUntil([&] { return !timer.enabled(); }));
    EXPECT_EQ(timer.ticks(), 3u);
    EXPECT_EQ(elapsed(), 300ms);

    EXPECT_FALSE(service().waitUntil([] { return false; }));
    EXPECT_EQ(elapsed(), 300ms);
}

TEST_F(VirtualTimeTest, WaitInsideATickRunsOtherTimersAndTheOuterTimeAddsUp) {
    WindowTimer message(2000, false, [&message] { message.setEnabled(false); });
    milliseconds innerWaitEnded{0};
    WindowTimer outer(100, true, [&] {
        if (outer.ticks() == 1) {
            message.setEnabled(true);
            EXPECT_TRUE(service().waitUntil([&] { return !message.enabled(); }));
            innerWaitEnded = elapsed();
        }
    });

    EXPECT_TRUE(service().waitUntil([&] { return outer.ticks() >= 2; }));
    EXPECT_EQ(outer.ticks(), 2u);
    EXPECT_EQ(innerWaitEnded, 2100ms);
    EXPECT_EQ(message.ticks(), 1u);
    // The outer timer does not tick during its own handler; overdue, it ticks
    // once when the handler returns and keeps its period from there.
    EXPECT_EQ(elapsed(), 2100ms);
    service().advance(100ms);
    EXPECT_EQ(outer.ticks(), 3u);
}

TEST_F(VirtualTimeTest, ChangingTheIntervalOrReenablingStartsANewPeriod) {
    WindowTimer timer(100, true, {});
    service().advance(60ms);
    timer.setInterval(50);
    service().advance(49ms);
    EXPECT_EQ(timer.ticks(), 0u);
    service().advance(1ms);
    EXPECT_EQ(timer.ticks(), 1u);

    service().advance(30ms);
    timer.setEnabled(false);
    timer.setEnabled(true);
    service().advance(49ms);
    EXPECT_EQ(timer.ticks(), 1u);
    service().advance(1ms);
    EXPECT_EQ(timer.ticks(), 2u);
}

TEST_F(VirtualTimeTest, ThePlatformClockStartsAtTheSystemTimeAndMovesWithVirtualTime) {
    ASSERT_TRUE(platform::clockIsVirtual());
    const platform::ClockTime start = platform::clockNow();
    EXPECT_LT(std::chrono::abs(start - std::chrono::system_clock::now()), 5s);

    service().advance(1500ms);
    EXPECT_EQ(platform::clockNow() - start, 1500ms);

    service().useVirtualTime(false);
    EXPECT_FALSE(platform::clockIsVirtual());
}

TEST_F(VirtualTimeTest, PumpMovesOnByTheRealTimePassedAtMostATenthOfASecond) {
    service().pump();
    const milliseconds beforeShortPause = service().now();
    std::this_thread::sleep_for(30ms);
    service().pump();
    const milliseconds shortStep = service().now() - beforeShortPause;
    EXPECT_GE(shortStep, 30ms);
    EXPECT_LE(shortStep, 100ms);

    const milliseconds beforeLongPause = service().now();
    std::this_thread::sleep_for(120ms);
    service().pump();
    EXPECT_EQ(service().now() - beforeLongPause, 100ms);
}

TEST(RealTimeTest, TimersTickWhileWaitingAlsoInAWaitInsideATick) {
    ASSERT_FALSE(service().virtualTime());
    WindowTimer inner(5, true, {});
    WindowTimer disabled(5, false, {});
    WindowTimer outer(20, true, [&] {
        if (outer.ticks() == 1) {
            const auto innerTicks = inner.ticks();
            EXPECT_TRUE(service().waitUntil([&] { return inner.ticks() >= innerTicks + 2; }));
        }
    });

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(
        service().waitUntil([&] { return std::chrono::steady_clock::now() - start >= 100ms; }));
    EXPECT_GT(outer.ticks(), 2u);
    EXPECT_EQ(disabled.ticks(), 0u);
}

}  // namespace
}  // namespace quillbox::app
