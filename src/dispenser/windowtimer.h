#pragma once

#include <QObject>
#include <QTimer>

namespace talvex::dispenser {

// A window timer that also knows, on the links' clock, when it is due next.
// In the program it ticks from the event loop like any QTimer; a test or a
// benchmark that drives time itself fires it with fire() instead.
class WindowTimer : public QObject {
    Q_OBJECT
public:
    WindowTimer(const QString &name, int intervalMs, QObject *parent);

    int interval() const { return m_timer.interval(); }
    void setInterval(int ms) { m_timer.setInterval(ms); }
    bool isActive() const { return m_timer.isActive(); }
    void start();
    void stop() { m_timer.stop(); }

    // When the next tick falls due, on link::clock(); meaningless while stopped.
    qint64 dueMs() const { return m_startedMs + m_timer.interval(); }
    // One tick now, as the event loop would give it.
    void fire();

signals:
    void timeout();

private:
    QTimer m_timer;
    qint64 m_startedMs = 0;
};

} // namespace talvex::dispenser
