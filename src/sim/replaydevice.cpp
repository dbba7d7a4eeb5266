#include "replaydevice.h"

#include "sim/bcc.h"

namespace talvex::sim {

namespace {

constexpr qint64 kUsPerMs = 1000;

QString hex(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

ReplayDevice::ReplayDevice(link::LineKind kind, const QList<link::ExchangeRecord> &exchanges)
    : m_kind(kind) {
    Answer *last = nullptr;
    for (const auto &e : exchanges) {
        if (e.kind != kind)
            continue;
        if (e.sent.isEmpty()) {
            // Bytes after the answer belong to the command before them.
            if (last)
                last->afterEnq += e.answer;
            continue;
        }
        Answer a{e.answer, e.reply, e.elapsedMs};
        auto &recorded = m_recorded[e.sent];
        recorded.answers.push_back(a);
        last = &recorded.answers.back();
    }
}

void ReplayDevice::say(const QString &text) const {
    if (m_notice)
        m_notice(text);
}

ReplayDevice::Answer ReplayDevice::answerFor(const QByteArray &frame) {
    const auto it = m_recorded.find(frame);
    if (it == m_recorded.end()) {
        say(QStringLiteral("command %1 was never captured; answered as an unknown command")
                .arg(hex(frame)));
        return unknownAnswer(frame);
    }
    Recorded &r = it->second;
    const Answer a = r.answers[std::min(r.next, r.answers.size() - 1)];
    ++r.next;
    return a;
}

ReplayDevice::Answer ReplayDevice::unknownAnswer(const QByteArray &frame) const {
    Answer a;
    switch (m_kind) {
    case link::LineKind::Reader: {
        if (xorOf(frame, 0, frame.size() - 1) != quint8(frame.back())) {
            a.answer = QByteArray(1, kNak);
            return a;
        }
        QByteArray body("N");
        body += frame.size() > 4 ? frame.at(4) : '0';
        body += '\0'; // Undefined Command
        QByteArray reply;
        reply += kStx;
        reply += char(body.size() >> 8);
        reply += char(body.size() & 0xFF);
        reply += body;
        reply += kEtx;
        reply += char(xorOf(reply, 0, reply.size()));
        a.answer = QByteArray(1, kAck);
        a.afterEnq = reply;
        return a;
    }
    case link::LineKind::Dispenser820:
        a.answer = QByteArray(1, kAck);
        return a;
    case link::LineKind::Dispenser840:
        a.answer = QByteArray(1, kAck) + frame.mid(1, 2);
        return a;
    }
    return a;
}

void ReplayDevice::receive(const QByteArray &bytes, qint64 nowUs) {
    for (const char byte : bytes) {
        if (m_awaitingEnq && byte != kEnq)
            m_awaitingEnq = false; // the program went on without asking for the reply
        if (m_awaitingEnq && byte == kEnq) {
            m_awaitingEnq = false;
            qint64 at = nowUs;
            if (m_timing && m_kind == link::LineKind::Reader)
                at = std::max(nowUs, m_frameUs + m_pending.elapsedMs * kUsPerMs);
            if (!m_pending.afterEnq.isEmpty())
                send(m_pending.afterEnq, at);
            continue;
        }
        if (m_kind == link::LineKind::Reader) {
            readerByte(byte, nowUs);
        } else if (const auto frame = m_etxFrames.push(byte, nowUs)) {
            frameDone(*frame, nowUs);
        }
    }
}

void ReplayDevice::readerByte(char byte, qint64 nowUs) {
    expire(nowUs);
    if (m_frame.isEmpty() && byte != kStx)
        return; // noise between frames
    m_frame += byte;
    m_lastByteUs = nowUs;
    if (m_frame.size() < 3)
        return;
    const int n = quint8(m_frame.at(1)) * 256 + quint8(m_frame.at(2));
    if (m_frame.size() == n + 5) {
        const QByteArray frame = m_frame;
        m_frame.clear();
        frameDone(frame, nowUs);
    }
}

void ReplayDevice::frameDone(const QByteArray &frame, qint64 nowUs) {
    m_awaitingEnq = false;
    m_frameUs = nowUs;
    m_pending = answerFor(frame);
    if (m_pending.answer.isEmpty())
        return; // recorded silence
    qint64 at = nowUs;
    // The reader's time is spent before its reply; the KVR-820's before its
    // acknowledgement. The KVR-840 link reads after a fixed wait, so its
    // answer leaves at once.
    if (m_timing && m_kind == link::LineKind::Dispenser820)
        at += m_pending.elapsedMs * kUsPerMs;
    send(m_pending.answer, at);
    m_awaitingEnq = m_pending.answer.at(0) == kAck && m_kind != link::LineKind::Dispenser840;
}

void ReplayDevice::expire(qint64 nowUs) {
    if (!m_frame.isEmpty() && nowUs - m_lastByteUs >= kFrameRestUs)
        m_frame.clear();
    m_etxFrames.expire(nowUs);
}

void ReplayDevice::restart() {
    m_frame.clear();
    m_etxFrames.clear();
    m_awaitingEnq = false;
}

qint64 ReplayDevice::ownWakeUs() const {
    if (!m_frame.isEmpty())
        return m_lastByteUs + kFrameRestUs;
    return m_etxFrames.wakeUs();
}

} // namespace talvex::sim
