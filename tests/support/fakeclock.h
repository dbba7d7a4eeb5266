#pragma once

#include "link/clock.h"

namespace talvex::testing {

// A clock that moves only when told to, or when the code under test sleeps or
// waits on a scripted port: limits are tested exactly and instantly.
class FakeClock final : public link::Clock {
public:
    qint64 nowMs() const override { return m_now; }
    void sleepMs(qint64 ms) override { advance(ms); }
    void advance(qint64 ms) { if (ms > 0) m_now += ms; }
    void advanceTo(qint64 t) { if (t > m_now) m_now = t; }

private:
    qint64 m_now = 1'000'000;
};

} // namespace talvex::testing
