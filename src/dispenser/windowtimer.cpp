#include "windowtimer.h"

#include "link/clock.h"

namespace talvex::dispenser {

WindowTimer::WindowTimer(const QString &name, int intervalMs, QObject *parent) : QObject(parent) {
    setObjectName(name);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &WindowTimer::fire);
}

void WindowTimer::start() {
    m_startedMs = link::clock().nowMs();
    m_timer.start();
}

void WindowTimer::fire() {
    // As a QTimer does: the next tick counts from this one's start, so a
    // handler that blocked longer than the interval is followed at once.
    m_startedMs = link::clock().nowMs();
    emit timeout();
}

} // namespace talvex::dispenser
