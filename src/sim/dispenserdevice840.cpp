#include "sim/dispenserdevice840.h"

namespace talvex::sim {

DispenserDevice840::DispenserDevice840() = default;

void DispenserDevice840::restart() {
    m_collector.clear();
}

void DispenserDevice840::expire(qint64 nowUs) {
    m_collector.expire(nowUs);
}

qint64 DispenserDevice840::ownWakeUs() const {
    return m_collector.wakeUs();
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
    QByteArray answer;
    answer += EtxFrameCollector::bccOk(frame) ? kAck : kNak;
    answer += m_address;
    if (answer.at(0) == kNak) {
        send(answer, nowUs);
        return;
    }
    const QByteArray text = frame.mid(3, frame.size() - 5);
    const QByteArray cmd = text.left(2);
    if (cmd == "AP") {
        QByteArray status;
        status += kStx;
        status += m_address;
        status += m_status.s1;
        status += m_status.s2;
        status += kEtx;
        status += static_cast<char>(xorOf(status, 0, status.size()));
        answer += status;
    } else if (cmd == "DC") {
        // A simplification of the dispense: it succeeds at once unless the
        // stacker is empty.
        m_status.s1 = m_status.s2 == '2' ? '6' : '3';
    } else if (cmd == "RS") {
        m_status.s1 = '0';
    }
    send(answer, nowUs);
}

} // namespace talvex::sim
