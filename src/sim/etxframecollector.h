#pragma once

#include "sim/bcc.h"

#include <QByteArray>
#include <optional>

namespace talvex::sim {

// Dispenser frames carry no length: STX, text, ETX, then the BCC. This gathers
// one such frame out of a byte stream, ignoring bytes between frames.
class EtxFrameCollector {
public:
    explicit EtxFrameCollector(qint64 restLimitUs) : m_restLimitUs(restLimitUs) {}

    // The complete frame (STX through BCC) once its BCC arrived.
    std::optional<QByteArray> push(char byte, qint64 nowUs) {
        expire(nowUs);
        if (m_frame.isEmpty()) {
            if (byte == kStx) {
                m_frame += byte;
                m_lastByteUs = nowUs;
            }
            return std::nullopt;
        }
        m_frame += byte;
        m_lastByteUs = nowUs;
        if (m_frame.size() >= 2 && m_frame.at(m_frame.size() - 2) == kEtx) {
            QByteArray frame = m_frame;
            m_frame.clear();
            return frame;
        }
        // No dispenser command comes near this; a runaway frame is noise.
        if (m_frame.size() > kMaxFrame)
            m_frame.clear();
        return std::nullopt;
    }

    void expire(qint64 nowUs) {
        if (!m_frame.isEmpty() && nowUs - m_lastByteUs >= m_restLimitUs)
            m_frame.clear();
    }
    qint64 wakeUs() const { return m_frame.isEmpty() ? -1 : m_lastByteUs + m_restLimitUs; }
    void clear() { m_frame.clear(); }
    bool collecting() const { return !m_frame.isEmpty(); }

    static bool bccOk(const QByteArray &frame) {
        const qsizetype last = frame.size() - 1;
        return xorOf(frame, 0, last) == static_cast<quint8>(frame.at(last));
    }

private:
    static constexpr qsizetype kMaxFrame = 256;
    QByteArray m_frame;
    qint64 m_lastByteUs = 0;
    qint64 m_restLimitUs;
};

} // namespace talvex::sim
