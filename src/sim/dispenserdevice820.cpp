#include "sim/dispenserdevice820.h"

#include <algorithm>

namespace talvex::sim {
namespace {

QByteArray statusFrame(char kind, const QByteArray &chars) {
    QByteArray frame;
    frame += kStx;
    frame += 'S';
    frame += kind;
    frame += chars;
    frame += kEtx;
    frame += static_cast<char>(xorOf(frame, 0, frame.size()));
    return frame;
}

// Where each dispense command leaves the card: the door, one of the inner
// sensors, or out of the dispenser altogether ('0').
char dispenseTarget(const QByteArray &text) {
    if (text == "DC")
        return '1';
    static constexpr struct {
        const char *command;
        char position;
    } kTargets[] = {{"FC0", '0'}, {"FC1", '2'}, {"FC2", '2'}, {"FC3", '1'},
                    {"FC4", '1'}, {"FC6", '6'}, {"FC7", '3'}};
    for (const auto &t : kTargets) {
        if (text == t.command)
            return t.position;
    }
    return '\0';
}

constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400};
constexpr qint64 kUsPerMs = 1000;

} // namespace

DispenserDevice820::DispenserDevice820() = default;

void DispenserDevice820::restart() {
    m_collector.clear();
    m_pendingText.clear();
    m_replyFault = {};
    m_awaitingEnq = false;
}

DispenserDevice820::Status DispenserDevice820::status() const {
    if (m_forced)
        return *m_forced;
    Status s;
    s.z = m_alarm ? '2' : (m_bin >= m_mech.binCapacity ? '1' : '0');
    s.a = m_a;
    s.b = m_clip ? '2' : (m_mech.stackerCards < m_mech.preEmptyBelow ? '1' : '0');
    const int position = m_position - '0' + (m_mech.stackerCards == 0 ? 8 : 0);
    s.c = "0123456789ABCDEF"[position & 0xF];
    return s;
}

void DispenserDevice820::setStackerCards(int cards) {
    m_mech.stackerCards = std::max(0, cards);
}

bool DispenserDevice820::takeCard() {
    if (m_position != '1' || m_motion != Motion::None)
        return false;
    m_position = '0';
    return true;
}

void DispenserDevice820::injectFault(DispenserFault fault, int delayMs,
                                     const QByteArray &forCommand) {
    if (fault == DispenserFault::ClipCard) {
        m_clip = true;
        m_forced.reset();
        return;
    }
    m_faults.arm(fault, delayMs, forCommand);
}

DispenserFault DispenserDevice820::pendingFault() const {
    return m_faults.pending();
}

void DispenserDevice820::expire(qint64 nowUs) {
    m_collector.expire(nowUs);
    if (m_motion != Motion::None && nowUs >= m_motionEndUs)
        finishMotion();
}

qint64 DispenserDevice820::ownWakeUs() const {
    const qint64 frame = m_collector.wakeUs();
    if (m_motion == Motion::None)
        return frame;
    return frame < 0 ? m_motionEndUs : std::min(frame, m_motionEndUs);
}

void DispenserDevice820::receive(const QByteArray &bytes, qint64 nowUs) {
    for (char byte : bytes) {
        // An ENQ counts only between frames: a 05h inside the next frame (its
        // BCC, say) must not run a command whose ENQ never came.
        if (byte == kEnq && m_awaitingEnq && !m_collector.collecting()) {
            m_awaitingEnq = false;
            execute(m_pendingText, nowUs);
            continue;
        }
        const std::optional<QByteArray> frame = m_collector.push(byte, nowUs);
        if (!frame)
            continue;
        m_awaitingEnq = false;
        const FrameFault fault = m_faults.takeFrameFault(*frame);
        if (fault.kind == DispenserFault::Silence)
            continue;
        if (fault.kind == DispenserFault::HangUp) {
            hangUp(nowUs);
            continue;
        }
        if (fault.kind == DispenserFault::Nak || !EtxFrameCollector::bccOk(*frame)) {
            send(QByteArray(1, kNak), nowUs);
            continue;
        }
        send(QByteArray(1, kAck), nowUs + fault.delayUs(DispenserFault::SlowAck));
        m_pendingText = frame->mid(1, frame->size() - 3);
        m_replyFault = fault;
        m_awaitingEnq = true;
    }
}

void DispenserDevice820::reply(const QByteArray &frame, qint64 nowUs) {
    const FrameFault fault = std::exchange(m_replyFault, {});
    send(shapedAnswer(fault.kind, frame, 0), nowUs + fault.delayUs(DispenserFault::SlowReply));
}

void DispenserDevice820::execute(const QByteArray &text, qint64 nowUs) {
    const QByteArray cmd = text.left(2);
    if (cmd == "RF") {
        const Status s = status();
        reply(statusFrame('F', QByteArray() + s.a + s.b + s.c), nowUs);
    } else if (cmd == "AP") {
        const Status s = status();
        reply(statusFrame('F', QByteArray() + s.z + s.a + s.b + s.c), nowUs);
    } else if (cmd == "SI") {
        reply(statusFrame('I', QByteArray(1, m_door)), nowUs);
    } else if (cmd == "IN" && text.size() > 2 && text.at(2) >= '0' && text.at(2) <= '2') {
        m_door = text.at(2);
    } else if (cmd == "DC" || cmd == "FC") {
        m_forced.reset();
        if (const char target = dispenseTarget(text))
            startDispense(target, nowUs);
    } else if (cmd == "CP") {
        m_forced.reset();
        startCapture(nowUs);
    } else if (cmd == "RS") {
        m_forced.reset();
        reset();
    } else if (cmd == "CS" && text.size() > 2 && text.at(2) >= '0' && text.at(2) <= '5') {
        // No reply follows, so the next frame already comes at the new speed.
        setBaud(kRates[text.at(2) - '0']);
    }
    // A fault armed with a command that sends no status frame is used up.
    m_replyFault = {};
}

void DispenserDevice820::startDispense(char target, qint64 nowUs) {
    if (m_motion != Motion::None)
        return;
    if (m_mech.stackerCards == 0 || m_position != '0' || m_clip || m_alarm) {
        m_a = '2';
        return;
    }
    m_a = '8';
    m_motion = Motion::Dispensing;
    m_target = target;
    m_motionFails = m_faults.takeJam();
    m_motionEndUs = nowUs + qint64(m_mech.dispenseMs) * kUsPerMs;
}

void DispenserDevice820::startCapture(qint64 nowUs) {
    if (m_motion != Motion::None)
        return;
    if (m_position == '0' || m_bin >= m_mech.binCapacity || m_alarm) {
        m_a = '1';
        return;
    }
    m_a = '4';
    m_motion = Motion::Capturing;
    m_motionFails = m_faults.takeJam();
    m_motionEndUs = nowUs + qint64(m_mech.captureMs) * kUsPerMs;
}

void DispenserDevice820::finishMotion() {
    const Motion motion = std::exchange(m_motion, Motion::None);
    if (motion == Motion::Dispensing) {
        --m_mech.stackerCards;
        if (m_motionFails) {
            // The card sticks halfway along the channel.
            m_a = '2';
            m_alarm = true;
            m_position = '2';
            return;
        }
        m_a = '0';
        m_position = m_target;
        return;
    }
    if (m_motionFails) {
        m_a = '1';
        m_alarm = true;
        return;
    }
    m_a = '0';
    ++m_bin;
    m_position = '0';
}

void DispenserDevice820::reset() {
    m_motion = Motion::None;
    m_alarm = false;
    m_clip = false;
    m_a = '0';
    // A card left in the channel goes to the bin while there is room.
    if (m_position != '0' && m_bin < m_mech.binCapacity) {
        ++m_bin;
        m_position = '0';
    }
}

} // namespace talvex::sim
