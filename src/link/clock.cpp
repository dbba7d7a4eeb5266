#include "clock.h"

#include "busywait.h"

#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <thread>

namespace talvex::link {
namespace {

class SystemClock final : public Clock {
public:
    SystemClock() { m_timer.start(); }
    qint64 nowMs() const override { return m_timer.elapsed(); }
    void sleepMs(qint64 ms) override {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

private:
    QElapsedTimer m_timer; // monotonic where the system offers it
};

Clock *g_clock = nullptr;

} // namespace

Clock &clock() {
    static SystemClock system;
    return g_clock ? *g_clock : system;
}

void setClock(Clock *c) {
    g_clock = c;
}

void DelayMs(qint32 ms) {
    Clock &c = clock();
    const qint64 until = c.nowMs() + ms;
    // A sleep may end early on a signal; sleep out whatever is left. The
    // sleep is cut once where the stretch it belongs to turns busy.
    for (qint64 now = c.nowMs(); now < until; now = c.nowMs()) {
        c.sleepMs(std::min(until, nextBusyCheckMs()) - now);
        checkBusy();
    }
}

} // namespace talvex::link
