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

    // Whether time passes by itself. On a clock that does not (a test's
    // driven clock) a wait passes at once: it moves the clock on to the moment
    // its bytes arrive or its limit passes, and the awaiting handler goes on
    // without giving the event loop a turn. On one that does, a wait
    // suspends the handler and the event loop runs until it ends.
    virtual bool realTime() const { return false; }
    // Wall-clock milliseconds that take ms on this clock (a clock may run fast).
    virtual qint64 wallMs(qint64 ms) const { return ms; }
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

// DelayMs(line, ms), the awaited pause of a handler, is declared with the
// serial component: it belongs to the line the handler works on.

} // namespace talvex::link
