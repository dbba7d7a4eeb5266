#include "clock.h"

#include <QElapsedTimer>
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
    bool realTime() const override { return true; }

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

} // namespace talvex::link
