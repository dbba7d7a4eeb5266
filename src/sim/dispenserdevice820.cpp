#include "sim/dispenserdevice820.h"

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

} // namespace

DispenserDevice820::DispenserDevice820() = default;

void DispenserDevice820::restart() {
    m_collector.clear();
    m_pendingText.clear();
    m_awaitingEnq = false;
}

void DispenserDevice820::expire(qint64 nowUs) {
    m_collector.expire(nowUs);
}

qint64 DispenserDevice820::ownWakeUs() const {
    return m_collector.wakeUs();
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
        if (!EtxFrameCollector::bccOk(*frame)) {
            send(QByteArray(1, kNak), nowUs);
            continue;
        }
        send(QByteArray(1, kAck), nowUs);
        m_pendingText = frame->mid(1, frame->size() - 3);
        m_awaitingEnq = true;
    }
}

// The command runs only now, after the ENQ. The card movements are a
// simplification: a dispensed card waits at the door, a captured or reset
// channel is empty.
void DispenserDevice820::execute(const QByteArray &text, qint64 nowUs) {
    const QByteArray cmd = text.left(2);
    if (cmd == "RF") {
        send(statusFrame('F', QByteArray() + m_status.a + m_status.b + m_status.c), nowUs);
    } else if (cmd == "AP") {
        send(statusFrame('F', QByteArray() + m_status.z + m_status.a + m_status.b + m_status.c),
             nowUs);
    } else if (cmd == "SI") {
        send(statusFrame('I', QByteArray(1, m_door)), nowUs);
    } else if (cmd == "IN" && text.size() > 2) {
        m_door = text.at(2);
    } else if (cmd == "DC" || cmd == "FC") {
        m_status.a = '0';
        m_status.c = (text == "FC0") ? '0' : '1';
    } else if (cmd == "CP" || cmd == "RS") {
        m_status.a = '0';
        m_status.c = '0';
    }
}

} // namespace talvex::sim
