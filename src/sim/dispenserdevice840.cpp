#include "sim/dispenserdevice840.h"

#include <algorithm>

namespace talvex::sim {
namespace {

constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400};
constexpr qint64 kUsPerMs = 1000;

} // namespace

DispenserDevice840::DispenserDevice840() = default;

void DispenserDevice840::restart() {
    m_collector.clear();
}

DispenserDevice840::Status DispenserDevice840::status() const {
    if (m_forced)
        return *m_forced;
    Status s;
    s.s1 = m_s1;
    s.s2 = m_mech.stackerCards == 0 ? '2' : m_mech.stackerCards < m_mech.preEmptyBelow ? '1' : '0';
    return s;
}

void DispenserDevice840::setStackerCards(int cards) {
    m_mech.stackerCards = std::max(0, cards);
}

bool DispenserDevice840::takeCard() {
    if (m_s1 != '2')
        return false;
    m_s1 = '3';
    return true;
}

void DispenserDevice840::injectFault(DispenserFault fault, int delayMs,
                                     const QByteArray &forCommand) {
    if (fault == DispenserFault::ClipCard) {
        m_clip = true;
        return;
    }
    m_faults.arm(fault, delayMs, forCommand);
}

DispenserFault DispenserDevice840::pendingFault() const {
    return m_faults.pending();
}

void DispenserDevice840::expire(qint64 nowUs) {
    m_collector.expire(nowUs);
    if (m_moving && nowUs >= m_motionEndUs)
        finishDispense();
}

qint64 DispenserDevice840::ownWakeUs() const {
    const qint64 frame = m_collector.wakeUs();
    if (!m_moving)
        return frame;
    return frame < 0 ? m_motionEndUs : std::min(frame, m_motionEndUs);
}

void DispenserDevice840::receive(const QByteArray &bytes, qint64 nowUs) {
    // The program's status acknowledgement (06 ADDH ADDL) is no frame and
    // falls through the collector.
    for (char byte : bytes) {
        if (const std::optional<QByteArray> frame = m_collector.push(byte, nowUs))
            frameComplete(*frame, nowUs);
    }
}

void DispenserDevice840::frameComplete(const QByteArray &frame, qint64 nowUs) {
    // STX ADDH ADDL text ETX BCC: shorter frames carry no address.
    if (frame.size() < 5 || frame.mid(1, 2) != m_address)
        return; // another station's frame: stay silent on the shared line
    const FrameFault fault = m_faults.takeFrameFault(frame);
    if (fault.kind == DispenserFault::Silence)
        return;
    if (fault.kind == DispenserFault::HangUp) {
        hangUp(nowUs);
        return;
    }
    const qint64 dueUs =
        nowUs + fault.delayUs(DispenserFault::SlowAck) + fault.delayUs(DispenserFault::SlowReply);
    // The station a confused dispenser names instead of its own.
    const QByteArray address = fault.kind != DispenserFault::OtherAddress ? m_address
                               : m_address == "00"                        ? QByteArray("01")
                                                                          : QByteArray("00");
    if (fault.kind == DispenserFault::Nak || !EtxFrameCollector::bccOk(frame)) {
        send(kNak + address, dueUs);
        return;
    }
    QByteArray answer = kAck + address;
    const QByteArray text = frame.mid(3, frame.size() - 5);
    const bool withStatus = text.left(2) == "AP";
    if (withStatus) {
        const Status s = status();
        QByteArray reply;
        reply += kStx;
        reply += address;
        reply += s.s1;
        reply += s.s2;
        reply += kEtx;
        reply += static_cast<char>(xorOf(reply, 0, reply.size()));
        answer += reply;
    }
    send(shapedAnswer(fault.kind, answer, withStatus ? 3 : -1), dueUs);
    execute(text, nowUs);
}

void DispenserDevice840::execute(const QByteArray &text, qint64 nowUs) {
    const QByteArray cmd = text.left(2);
    if (cmd == "DC") {
        m_forced.reset();
        if (m_moving)
            return;
        if (m_mech.stackerCards == 0 || m_s1 == '2') {
            m_s1 = '6';
            return;
        }
        m_s1 = '1';
        m_moving = true;
        m_motionFails = m_faults.takeJam() || m_clip;
        m_motionEndUs = nowUs + qint64(m_mech.dispenseMs) * kUsPerMs;
    } else if (cmd == "RS") {
        m_forced.reset();
        m_moving = false;
        m_clip = false;
        m_s1 = '0';
    } else if (cmd == "IP" || cmd == "IE") {
        m_preDispense = cmd == "IP";
    } else if (cmd == "CS" && text.size() > 3 && text.at(2) == 'B' && text.at(3) >= '0' &&
               text.at(3) <= '5') {
        // The acknowledgement above still leaves at the old speed.
        setBaud(kRates[text.at(3) - '0']);
    }
}

void DispenserDevice840::finishDispense() {
    m_moving = false;
    --m_mech.stackerCards;
    if (m_motionFails) {
        m_s1 = '4';
        return;
    }
    m_s1 = m_mech.holdAtMouth ? '2' : '3';
}

} // namespace talvex::sim
