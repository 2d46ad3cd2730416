#pragma once
// The one timer service of the window. Every timer of the window is a
// WindowTimer made here. The program runs it in real time over Qt's event
// loop; GUI tests switch it to virtual time, in which time moves only when the
// service is asked to wait, so a test never sleeps through a message, a fade
// or the splash while the program's intervals stay as they are.

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace quillbox::app {

class TimerService;

// A timer with an interval, an enabled switch and a tick handler, like the
// window's design timers: enabling (or changing the interval of an enabled
// timer) starts a new period; a tick that disables its timer ends it. An
// interval of 0 or less never ticks. A tick handler may change or destroy
// other timers, but must not destroy its own.
class WindowTimer {
  public:
    WindowTimer(int intervalMilliseconds, bool enabled, std::function<void()> onTick);
    ~WindowTimer();
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    void setInterval(int milliseconds);
    int interval() const { return m_interval; }
    void setEnabled(bool enabled);
    bool enabled() const { return m_enabled; }
    // Ticks counted since the timer was made (for tests and benchmarks).
    std::uint64_t ticks() const { return m_ticks; }

  private:
    friend class TimerService;
    void restart();
    void tick();

    int m_interval;
    bool m_enabled = false;
    std::uint64_t m_ticks = 0;
    std::function<void()> m_onTick;
    std::unique_ptr<QTimer> m_qtTimer;   // real time
    std::chrono::milliseconds m_due{0};  // virtual time of the next tick
    bool m_inTick = false;               // its handler is running
};

class TimerService {
  public:
    static TimerService& instance();

    // Switches to virtual time (tests) or back to real time. In virtual time
    // the platform clock (platform/Clock.h) is virtual too and moves with it.
    void useVirtualTime(bool on);
    bool virtualTime() const { return m_virtual; }
    // The service's time: real time since start, or the virtual time.
    std::chrono::milliseconds now() const;

    // Virtual time: moves time on by `span`, firing every timer that falls due
    // on the way in time order (timers a tick enables count too), processing
    // Qt's pending events after each tick. Real time: processes events for
    // that long.
    void advance(std::chrono::milliseconds span);
    // Keeps the window alive until done() is true: processes events (real
    // time: waiting for them at most 10 ms at a time; virtual time: moving
    // time to the next due timer and firing it). Returns false, without
    // waiting, when in virtual time no enabled timer is left that could
    // change anything (a wait that could never end).
    bool waitUntil(const std::function<bool()>& done);
    // One turn of the window's message loop for a caller that waits on
    // something else (a library waiting for the network): processes pending
    // events; in virtual time it first moves time on by the real time passed
    // since the last pump, so timers tick during such a wait as they would.
    void pump();

  private:
    friend class WindowTimer;
    TimerService();
    void add(WindowTimer* timer);
    void remove(WindowTimer* timer);
    // The enabled timer due first (the one made first among equals), not one
    // whose handler is running; null when none.
    WindowTimer* nextDue() const;
    // Virtual time: moves time (and the platform clock) forward to `time`.
    void moveTo(std::chrono::milliseconds time);
    // Virtual time: moves to the timer's due time, schedules its next tick,
    // ticks it and processes pending events.
    void fire(WindowTimer* timer);

    bool m_virtual = false;
    std::chrono::milliseconds m_virtualNow{0};
    std::chrono::steady_clock::time_point m_realStart;
    std::chrono::steady_clock::time_point m_lastPump;
    std::vector<WindowTimer*> m_timers;
};

}  // namespace quillbox::app
