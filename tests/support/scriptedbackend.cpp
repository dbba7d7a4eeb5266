#include "scriptedbackend.h"

#include "link/serialerror.h"

#include <algorithm>

namespace talvex::testing {

void ScriptedBackend::feedAt(qint64 atMs, const QByteArray &bytes) {
    // Stable for equal times: bytes fed for the same moment keep their order.
    const auto after = std::upper_bound(m_pending.begin(), m_pending.end(), atMs,
                                        [](qint64 t, const Pending &p) { return t < p.at; });
    m_pending.insert(after, Pending{atMs, bytes});
}

void ScriptedBackend::open(const link::LineSettings &settings) {
    if (openError != 0)
        throw link::SerialError(openError, openFault);
    m_settings = settings;
    // What the device had on its way belongs to the line that was closed.
    m_pending.clear();
    m_in.clear();
    m_open = true;
    m_hangUpAt = -1;
}

bool ScriptedBackend::isOpen() const {
    return m_open && (m_hangUpAt < 0 || m_clock.nowMs() < m_hangUpAt);
}

void ScriptedBackend::release() {
    const qint64 now = m_clock.nowMs();
    while (!m_pending.isEmpty() && m_pending.first().at <= now)
        m_in += m_pending.takeFirst().bytes;
}

qint64 ScriptedBackend::bytesAvailable() {
    release();
    return m_in.size();
}

QByteArray ScriptedBackend::read(qint64 maxBytes) {
    release();
    const QByteArray out = m_in.left(maxBytes);
    m_in.remove(0, out.size());
    return out;
}

void ScriptedBackend::write(const QByteArray &bytes) {
    m_written += bytes;
    m_writes.append(bytes);
    if (onWrite)
        onWrite(bytes, *this);
}

void ScriptedBackend::discardInput() {
    release();
    m_in.clear();
}

bool ScriptedBackend::waitForReadyRead(int ms) {
    if (!isOpen())
        return false;
    release();
    const qint64 limit = m_clock.nowMs() + std::max(ms, 0);
    qint64 until = limit;
    bool arrives = false;
    if (!m_pending.isEmpty() && m_pending.first().at <= limit) {
        until = m_pending.first().at;
        arrives = true;
    }
    if (m_hangUpAt >= 0 && m_hangUpAt <= until) {
        m_clock.advanceTo(m_hangUpAt);
        return false;
    }
    m_clock.advanceTo(until);
    release();
    return arrives;
}

} // namespace talvex::testing
