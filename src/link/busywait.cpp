#include "busywait.h"

#include "clock.h"

#include <limits>

namespace talvex::link {
namespace {

struct Stretches {
    int depth = 0;
    qint64 startMs = 0;
    bool told = false;
    BusyListener listener;
};

Stretches &stretches() {
    static Stretches s;
    return s;
}

} // namespace

void setBusyListener(BusyListener listener) {
    stretches().listener = std::move(listener);
}

BusyStretch::BusyStretch(bool userWaits) : m_open(userWaits) {
    if (!m_open)
        return;
    Stretches &s = stretches();
    if (s.depth++ == 0) {
        s.startMs = clock().nowMs();
        s.told = false;
    }
}

void BusyStretch::end() {
    if (!m_open)
        return;
    m_open = false;
    Stretches &s = stretches();
    if (--s.depth > 0 || !s.told)
        return;
    s.told = false;
    if (s.listener)
        s.listener(false);
}

qint64 nextBusyCheckMs() {
    const Stretches &s = stretches();
    if (s.depth == 0 || s.told)
        return std::numeric_limits<qint64>::max();
    return s.startMs + kBusyAfterMs;
}

void checkBusy() {
    Stretches &s = stretches();
    if (s.depth == 0 || s.told || clock().nowMs() - s.startMs < kBusyAfterMs)
        return;
    s.told = true;
    if (s.listener)
        s.listener(true);
}

} // namespace talvex::link
