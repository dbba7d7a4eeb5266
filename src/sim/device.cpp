#include "sim/device.h"

#include <algorithm>

namespace talvex::sim {

void Device::feed(const QByteArray &bytes, int lineBaud, qint64 nowMs) {
    // A UART at the wrong speed sees framing errors and noise, never the bytes
    // that were meant; dropping them is the closest model of that.
    if (lineBaud != 0 && lineBaud != m_baud)
        return;
    receive(bytes, nowMs);
}

QByteArray Device::takeOutput(qint64 nowMs) {
    QByteArray out;
    while (!m_out.empty() && m_out.front().dueMs <= nowMs && !m_out.front().hangUp) {
        out += m_out.front().bytes;
        m_out.pop_front();
    }
    return out;
}

bool Device::takeHangUp(qint64 nowMs) {
    if (m_out.empty() || !m_out.front().hangUp || m_out.front().dueMs > nowMs)
        return false;
    m_out.pop_front();
    return true;
}

qint64 Device::nextWakeMs() const {
    qint64 wake = m_out.empty() ? -1 : m_out.front().dueMs;
    const qint64 own = ownWakeMs();
    if (own >= 0 && (wake < 0 || own < wake))
        wake = own;
    return wake;
}

void Device::resetLine() {
    m_out.clear();
    m_wireFreeMs = 0;
    restart();
}

void Device::send(const QByteArray &bytes, qint64 atMs) {
    if (bytes.isEmpty())
        return;
    qint64 due = atMs;
    if (m_wireTime && m_baud > 0) {
        // Start bit, eight data bits, stop bit; bytes queue behind each other.
        const qint64 start = std::max(atMs, m_wireFreeMs);
        due = start + (qint64(bytes.size()) * 10 * 1000 + m_baud - 1) / m_baud;
        m_wireFreeMs = due;
    }
    // Chunks must leave in order even when an earlier one is due later.
    if (!m_out.empty())
        due = std::max(due, m_out.back().dueMs);
    m_out.push_back({due, bytes, false});
}

void Device::hangUp(qint64 atMs) {
    const qint64 due = m_out.empty() ? atMs : std::max(atMs, m_out.back().dueMs);
    m_out.push_back({due, {}, true});
}

} // namespace talvex::sim
