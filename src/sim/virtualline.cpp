#include "sim/virtualline.h"

#include "link/clock.h"
#include "sim/device.h"

namespace talvex::sim {

void VirtualLine::open(const link::LineSettings &settings) {
    m_settings = settings;
    m_in.clear();
    m_open = true;
}

qint64 VirtualLine::nowUs() const {
    return link::clock().nowMs() * 1000;
}

void VirtualLine::collect() {
    m_in += m_device.takeOutput(nowUs());
}

qint64 VirtualLine::bytesAvailable() {
    collect();
    return m_in.size();
}

QByteArray VirtualLine::read(qint64 maxBytes) {
    collect();
    const QByteArray out = m_in.left(maxBytes);
    m_in.remove(0, out.size());
    return out;
}

void VirtualLine::write(const QByteArray &bytes) {
    if (m_writeListener)
        m_writeListener(link::clock().nowMs(), bytes);
    m_device.feed(bytes, m_settings.baud, nowUs());
}

void VirtualLine::discardInput() {
    collect();
    m_in.clear();
}

bool VirtualLine::waitForReadyRead(int ms) {
    const qint64 before = m_in.size();
    const qint64 endMs = link::clock().nowMs() + ms;
    for (;;) {
        collect();
        if (m_in.size() > before)
            return true;
        const qint64 nowMs = link::clock().nowMs();
        if (nowMs >= endMs)
            return false;
        // Jump to the device's next deadline (rounded up to a whole
        // millisecond), or to the end of the wait.
        const qint64 wakeUs = m_device.nextWakeUs();
        qint64 untilMs = endMs;
        if (wakeUs >= 0)
            untilMs = qBound(nowMs + 1, (wakeUs + 999) / 1000, endMs);
        link::clock().sleepMs(untilMs - nowMs);
    }
}

} // namespace talvex::sim
