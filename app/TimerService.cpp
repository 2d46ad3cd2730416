#include "app/TimerService.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>

#include "platform/Clock.h"

namespace quillbox::app {

namespace {

using std::chrono::milliseconds;

// A pump in virtual time moves on by at most this much, so a pause in a
// debugger does not fire a flood of ticks afterwards.
constexpr milliseconds kLongestPumpStep{100};
// The longest a real-time wait sleeps before it looks at its condition again.
constexpr int kLongestSleepMilliseconds = 10;

// Processes pending events, sleeping until one arrives but at most `longest`
// milliseconds. The timed processEvents overload drops WaitForMoreEvents and
// would spin, so `wake` (a single-shot timer of the caller) bounds the sleep.
void processEventsFor(QTimer& wake, int longest) {
    wake.start(std::max(longest, 0));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

WindowTimer::WindowTimer(int intervalMilliseconds, bool enabled, std::function<void()> onTick)
    : m_interval(intervalMilliseconds),
      m_enabled(enabled),
      m_onTick(std::move(onTick)),
      m_qtTimer(std::make_unique<QTimer>()) {
    m_qtTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_qtTimer.get(), &QTimer::timeout, [this] { tick(); });
    TimerService::instance().add(this);
    restart();
}

WindowTimer::~WindowTimer() {
    TimerService::instance().remove(this);
}

void WindowTimer::setInterval(int milliseconds) {
    if (milliseconds == m_interval) {
        return;
    }
    m_interval = milliseconds;
    restart();
}

void WindowTimer::setEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    restart();
}

void WindowTimer::restart() {
    const TimerService& service = TimerService::instance();
    const bool runs = m_enabled && m_interval > 0;
    if (runs && !service.virtualTime()) {
        m_qtTimer->start(m_interval);
    } else {
        m_qtTimer->stop();
    }
    m_due = service.now() + milliseconds(m_interval);
}

void WindowTimer::tick() {
    ++m_ticks;
    // Qt does not fire a timer again while its handler runs (a wait inside
    // the handler); virtual time keeps the same rule through this flag.
    m_inTick = true;
    if (m_onTick) {
        m_onTick();
    }
    m_inTick = false;
}

TimerService& TimerService::instance() {
    static TimerService service;
    return service;
}

TimerService::TimerService()
    : m_realStart(std::chrono::steady_clock::now()), m_lastPump(m_realStart) {}

std::chrono::milliseconds TimerService::now() const {
    if (m_virtual) {
        return m_virtualNow;
    }
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - m_realStart);
}

void TimerService::useVirtualTime(bool on) {
    if (on == m_virtual) {
        return;
    }
    if (on) {
        // Virtual time goes on from the real time, so due times stay ahead of now().
        m_virtualNow = now();
        m_lastPump = std::chrono::steady_clock::now();
        if (!platform::clockIsVirtual()) {
            platform::setVirtualClock(std::chrono::system_clock::now());
        }
    } else {
        platform::useSystemClock();
    }
    m_virtual = on;
    for (WindowTimer* timer : m_timers) {
        timer->restart();
    }
}

void TimerService::add(WindowTimer* timer) {
    m_timers.push_back(timer);
}

void TimerService::remove(WindowTimer* timer) {
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), timer), m_timers.end());
}

WindowTimer* TimerService::nextDue() const {
    WindowTimer* next = nullptr;
    for (WindowTimer* timer : m_timers) {
        const bool canTick = timer->m_enabled && timer->m_interval > 0 && !timer->m_inTick;
        // Strictly earlier only: of timers due together the one made first fires first.
        if (canTick && (next == nullptr || timer->m_due < next->m_due)) {
            next = timer;
        }
    }
    return next;
}

void TimerService::moveTo(milliseconds time) {
    if (time > m_virtualNow) {
        platform::advanceClock(time - m_virtualNow);
        m_virtualNow = time;
    }
}

void TimerService::fire(WindowTimer* timer) {
    // A timer overdue because a wait inside another tick ran past it fires
    // now, once, and then keeps its period from now, as Qt's timers do.
    moveTo(timer->m_due);
    const milliseconds interval(timer->m_interval);
    timer->m_due += interval;
    if (timer->m_due <= m_virtualNow) {
        timer->m_due = m_virtualNow + interval;
    }
    timer->tick();
    QCoreApplication::processEvents();
}

void TimerService::advance(milliseconds span) {
    if (!m_virtual) {
        const auto deadline = std::chrono::steady_clock::now() + span;
        QTimer wake;
        wake.setSingleShot(true);
        for (auto left = span; left > milliseconds(0);
             left = std::chrono::duration_cast<milliseconds>(deadline -
                                                             std::chrono::steady_clock::now())) {
            processEventsFor(
                wake, std::min<int>(static_cast<int>(left.count()), kLongestSleepMilliseconds));
        }
        return;
    }
    const milliseconds target = m_virtualNow + span;
    while (WindowTimer* timer = nextDue()) {
        if (timer->m_due > target) {
            break;
        }
        fire(timer);
    }
    moveTo(target);
    QCoreApplication::processEvents();
}

bool TimerService::waitUntil(const std::function<bool()>& done) {
    if (!m_virtual) {
        QTimer wake;
        wake.setSingleShot(true);
        while (!done()) {
            processEventsFor(wake, kLongestSleepMilliseconds);
        }
        return true;
    }
    QCoreApplication::processEvents();
    while (!done()) {
        WindowTimer* timer = nextDue();
        if (timer == nullptr) {
            return false;
        }
        fire(timer);
    }
    return true;
}

void TimerService::pump() {
    if (m_virtual) {
        const auto realNow = std::chrono::steady_clock::now();
        const auto passed = std::chrono::duration_cast<milliseconds>(realNow - m_lastPump);
        if (passed >= kLongestPumpStep) {
            m_lastPump = realNow;
            advance(kLongestPumpStep);
        } else {
            // Only whole milliseconds are spent, so the remainder counts next time.
            m_lastPump += passed;
            advance(passed);
        }
        return;
    }
    QCoreApplication::processEvents();
}

}  // namespace quillbox::app
