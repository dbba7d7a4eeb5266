#include "sim/device.h"

#include <algorithm>

namespace talvex::sim {
namespace {

constexpr qint64 kBitsPerByte = 10;
constexpr qint64 kUsPerSecond = 1'000'000;

} // namespace

qint64 Device::Wire::byteDone(qint64 atUs, int baud) {
    if (atUs >= freeUs) {
        burstStartUs = atUs;
        burstBytes = 0;
    }
    ++burstBytes;
    // Rounded up: a byte is never complete before its last bit is.
    freeUs = burstStartUs + (burstBytes * kBitsPerByte * kUsPerSecond + baud - 1) / baud;
    return freeUs;
}

void Device::queue(std::deque<Chunk> &queue, const QByteArray &bytes, qint64 atUs, Wire &wire) {
    if (m_wireTime && m_baud > 0) {
        // Byte by byte, as the far end of a real line sees them.
        for (char byte : bytes) {
            const qint64 due =
                std::max(wire.byteDone(atUs, m_baud), queue.empty() ? atUs : queue.back().dueUs);
            queue.push_back({due, QByteArray(1, byte), false});
        }
        return;
    }
    // Chunks must leave in order even when an earlier one is due later.
    const qint64 due = queue.empty() ? atUs : std::max(atUs, queue.back().dueUs);
    if (!queue.empty() && queue.back().dueUs == due && !queue.back().hangUp)
        queue.back().bytes += bytes;
    else
        queue.push_back({due, bytes, false});
}

void Device::feed(const QByteArray &bytes, int lineBaud, qint64 nowUs) {
    // A UART at the wrong speed sees framing errors and noise, never the bytes
    // that were meant; dropping them is the closest model of that.
    if (lineBaud != 0 && lineBaud != m_baud)
        return;
    if (!bytes.isEmpty())
        queue(m_in, bytes, nowUs, m_inWire);
    advance(nowUs);
}

void Device::advance(qint64 nowUs) {
    // The device acts on each byte at the moment it is complete, not when the
    // host got round to it, so its answers keep the line's own timing.
    while (!m_in.empty() && m_in.front().dueUs <= nowUs) {
        const Chunk chunk = std::move(m_in.front());
        m_in.pop_front();
        expire(chunk.dueUs);
        receive(chunk.bytes, chunk.dueUs);
    }
    expire(nowUs);
}

QByteArray Device::takeOutput(qint64 nowUs) {
    advance(nowUs);
    QByteArray out;
    while (!m_out.empty() && m_out.front().dueUs <= nowUs && !m_out.front().hangUp) {
        out += m_out.front().bytes;
        m_out.pop_front();
    }
    return out;
}

bool Device::takeHangUp(qint64 nowUs) {
    advance(nowUs);
    if (m_out.empty() || !m_out.front().hangUp || m_out.front().dueUs > nowUs)
        return false;
    m_out.pop_front();
    return true;
}

qint64 Device::nextWakeUs() const {
    qint64 wake = -1;
    auto earlier = [&wake](qint64 t) {
        if (t >= 0 && (wake < 0 || t < wake))
            wake = t;
    };
    if (!m_in.empty())
        earlier(m_in.front().dueUs);
    if (!m_out.empty())
        earlier(m_out.front().dueUs);
    earlier(ownWakeUs());
    return wake;
}

void Device::resetLine() {
    m_in.clear();
    m_out.clear();
    m_inWire = {};
    m_outWire = {};
    restart();
}

void Device::send(const QByteArray &bytes, qint64 atUs) {
    if (!bytes.isEmpty())
        queue(m_out, bytes, atUs, m_outWire);
}

void Device::hangUp(qint64 atUs) {
    const qint64 due = m_out.empty() ? atUs : std::max(atUs, m_out.back().dueUs);
    m_out.push_back({due, {}, true});
}

} // namespace talvex::sim
