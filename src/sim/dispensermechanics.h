#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <utility>

namespace talvex::sim {

// What the stacker holds and how long the motors take. The delays can be cut
// short for endurance runs; the sequence of states stays the same.
struct DispenserMechanics {
    int stackerCards = 300;
    int preEmptyBelow = 20; // the pre-empty sensor sees fewer cards than this
    int binCapacity = 60;   // KVR-820 capture bin
    int dispenseMs = 800;
    int captureMs = 600;
    bool holdAtMouth = true; // KVR-840: a dispensed card waits to be taken
    bool operator==(const DispenserMechanics &) const = default;
};

// A dispenser misbehaviour. Jam concerns the next card movement, a clip card
// stays until the dispenser is reset; every other kind shapes the answer to
// the next frame only.
enum class DispenserFault {
    None,
    Silence, // the frame is swallowed: no answer at all
    Nak,     // 15h instead of 06h
    Jam,
    ClipCard,
    AckOnly,      // the acknowledgement, then no status frame
    FirstBytes,   // the status frame stops after STX and two characters; a
                  // KVR-840 command answer after its first byte
    Truncated,    // the last two bytes (ETX and BCC) missing; a KVR-840
                  // command answer without its last byte
    WrongBcc,     // the status frame's BCC is off
    OtherAddress, // KVR-840: the answer names another station
    ExtraBytes,   // the answer followed by kStrayBytes
    Overlong,     // the answer stretched to kOverlongAnswer bytes
    SlowAck,      // KVR-820: the acknowledgement comes delayMs late
    SlowReply,    // the status frame (KVR-840: the whole answer) comes delayMs late
    HangUp,       // the line goes away when the frame arrives
};

inline const QByteArray kStrayBytes = QByteArrayLiteral("\xAA\x55\x00");
// Longer than any reply buffer of the program (1025 bytes).
constexpr qsizetype kOverlongAnswer = 1100;

// The fault armed for the next frame, with its delay.
struct FrameFault {
    DispenserFault kind = DispenserFault::None;
    int delayMs = 0;
    qint64 delayUs(DispenserFault slowKind) const {
        return kind == slowKind ? qint64(delayMs) * 1000 : 0;
    }
};

// What an answer becomes under a fault; frameAt is where its status frame
// starts (-1 when it carries none). The BCC of a stretched frame is not
// recomputed: nobody checks it, and the length is what matters.
inline QByteArray shapedAnswer(DispenserFault fault, QByteArray answer, qsizetype frameAt) {
    const bool framed = frameAt >= 0;
    switch (fault) {
    case DispenserFault::AckOnly:
        return framed ? answer.left(frameAt) : answer;
    case DispenserFault::FirstBytes:
        return answer.left(framed ? frameAt + 3 : 1);
    case DispenserFault::Truncated:
        return answer.chopped(framed ? 2 : 1);
    case DispenserFault::WrongBcc:
        if (framed)
            answer.back() = char(answer.back() ^ 0xFF);
        return answer;
    case DispenserFault::ExtraBytes:
        return answer + kStrayBytes;
    case DispenserFault::Overlong: {
        const QByteArray fill(kOverlongAnswer - answer.size(), '0');
        return framed ? answer.insert(answer.size() - 2, fill) : answer + fill;
    }
    default:
        return answer;
    }
}

// The one-shot faults armed and not yet used: one for the next frame, one for
// the next card movement. A clip card is the machine's own state.
class ArmedFaults {
public:
    // A frame fault armed for a command (its letters, "DC") waits for a frame
    // of that command: a poll that comes first cannot use it up.
    void arm(DispenserFault fault, int delayMs = 0, const QByteArray &forCommand = {}) {
        if (fault == DispenserFault::None) {
            m_frame = {};
            m_jam = false;
            m_for.clear();
        } else if (fault == DispenserFault::Jam) {
            m_jam = true;
        } else if (fault != DispenserFault::ClipCard) {
            m_frame = {fault, delayMs};
            m_for = forCommand;
        }
    }
    DispenserFault pending() const {
        if (m_frame.kind != DispenserFault::None)
            return m_frame.kind;
        return m_jam ? DispenserFault::Jam : DispenserFault::None;
    }
    // frame: STX text ETX BCC.
    FrameFault takeFrameFault(const QByteArray &frame) {
        if (!m_for.isEmpty() && !frame.chopped(qMin<qsizetype>(2, frame.size())).endsWith(m_for))
            return {};
        m_for.clear();
        return std::exchange(m_frame, {});
    }
    bool takeJam() { return std::exchange(m_jam, false); }

private:
    FrameFault m_frame;
    QByteArray m_for;
    bool m_jam = false;
};

} // namespace talvex::sim
