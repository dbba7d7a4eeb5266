#pragma once

#include <QtGlobal>

namespace talvex::link {

// Every time limit and delay of the links reads this clock, so that tests can
// drive time instead of waiting for it.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock; the origin is arbitrary.
    virtual qint64 nowMs() const = 0;
    // Blocks the calling thread for ms milliseconds without running the event loop.
    virtual void sleepMs(qint64 ms) = 0;
};

// The clock in force: the system's monotonic clock unless a test installed another.
Clock &clock();
void setClock(Clock *clock); // nullptr restores the system clock

class ScopedClock {
public:
    explicit ScopedClock(Clock &clock) { setClock(&clock); }
    ~ScopedClock() { setClock(nullptr); }
    ScopedClock(const ScopedClock &) = delete;
    ScopedClock &operator=(const ScopedClock &) = delete;
};

// Waits ms milliseconds on the clock in force. It sleeps rather than spins and
// never processes window events, so no handler can run in between.
void DelayMs(qint32 ms);

} // namespace talvex::link
