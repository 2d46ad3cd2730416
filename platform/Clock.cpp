#include "platform/Clock.h"

#include <atomic>

namespace quillbox::platform {

namespace {

// Virtual time as nanoseconds since the epoch; kSystem means "use the system clock".
constexpr std::int64_t kSystem = INT64_MIN;
std::atomic<std::int64_t> g_virtualNanoseconds{kSystem};

}  // namespace

ClockTime clockNow() {
    const std::int64_t virtualTime = g_virtualNanoseconds.load(std::memory_order_acquire);
    if (virtualTime == kSystem) {
        return std::chrono::system_clock::now();
    }
    return ClockTime(
        std::chrono::duration_cast<ClockTime::duration>(std::chrono::nanoseconds(virtualTime)));
}

std::int64_t clockSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(clockNow().time_since_epoch()).count();
}

void setVirtualClock(ClockTime time) {
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    g_virtualNanoseconds.store(nanoseconds, std::memory_order_release);
}

void advanceClock(std::chrono::milliseconds step) {
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(step).count();
    std::int64_t current = g_virtualNanoseconds.load(std::memory_order_acquire);
    while (current != kSystem && !g_virtualNanoseconds.compare_exchange_weak(
                                     current, current + nanoseconds, std::memory_order_acq_rel)) {
    }
}

void useSystemClock() {
    g_virtualNanoseconds.store(kSystem, std::memory_order_release);
}

bool clockIsVirtual() {
    return g_virtualNanoseconds.load(std::memory_order_acquire) != kSystem;
}

bool localCalendar(std::int64_t seconds, std::tm& fields) {
    const auto value = static_cast<std::time_t>(seconds);
    fields = std::tm{};
    return localtime_r(&value, &fields) != nullptr;
}

}  // namespace quillbox::platform
