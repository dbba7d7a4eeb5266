#pragma once

#include "sim/device.h"
#include "sim/dispensermechanics.h"
#include "sim/etxframecollector.h"

#include <QByteArray>
#include <optional>

namespace talvex::sim {

// The KVR-820 end: STX text ETX BCC is acknowledged with 06; the command runs
// when ENQ follows. "RF" and "AP" then answer with a status frame
// STX "S" "F" chars ETX BCC (three chars for "RF", four for "AP"), "SI" with
// STX "S" "I" door code ETX BCC.
//
// Behind the status characters sits a machine: a stacker that runs pre-empty
// and empty, dispenses that take time (A "8" while moving, then "0" with the
// card where the command sent it), a card at the door until it is taken or
// captured, a capture bin that fills up, and faults.
class DispenserDevice820 final : public Device {
public:
    DispenserDevice820();

    // Status characters Z (error), A (operation), B (stacker), C (card position).
    struct Status {
        char z = '0';
        char a = '0';
        char b = '0';
        char c = '0';
        bool operator==(const Status &) const = default;
    };
    Status status() const;
    // Forces the characters of the next replies until a command moves the
    // machine again.
    void setStatus(const Status &status) { m_forced = status; }

    // Door setting code "0", "1" or "2" as "SI" reports and "IN" sets it.
    char doorCode() const { return m_door; }

    DispenserMechanics mechanics() const { return m_mech; }
    void setMechanics(const DispenserMechanics &mechanics) { m_mech = mechanics; }
    int stackerCards() const { return m_mech.stackerCards; }
    void setStackerCards(int cards);
    int binCards() const { return m_bin; }
    void setBinCards(int cards) { m_bin = qMax(0, cards); }
    // The card position character without the empty-stacker bit: '0' none,
    // '1' at the door, '2', '3', '6' inside.
    char cardPosition() const { return m_position; }
    // The user takes the card standing at the door.
    bool takeCard();

    // delayMs only for the slow kinds.
    // With forCommand ("DC"), a frame fault waits for a frame of that command.
    void injectFault(DispenserFault fault, int delayMs = 0, const QByteArray &forCommand = {});
    DispenserFault pendingFault() const;

    static constexpr qint64 kFrameRestUs = 1'000'000;

protected:
    void receive(const QByteArray &bytes, qint64 nowUs) override;
    void expire(qint64 nowUs) override;
    qint64 ownWakeUs() const override;
    void restart() override;

private:
    enum class Motion { None, Dispensing, Capturing };
    void execute(const QByteArray &text, qint64 nowUs);
    void startDispense(char target, qint64 nowUs);
    void startCapture(qint64 nowUs);
    void finishMotion();
    void reset();
    // Sends a status frame as the fault armed with its command shapes it.
    void reply(const QByteArray &frame, qint64 nowUs);

    DispenserMechanics m_mech;
    std::optional<Status> m_forced;
    char m_a = '0';
    char m_position = '0';
    bool m_alarm = false;
    bool m_clip = false;
    int m_bin = 0;
    char m_door = '0';
    Motion m_motion = Motion::None;
    qint64 m_motionEndUs = 0;
    char m_target = '0';
    bool m_motionFails = false;
    ArmedFaults m_faults;

    EtxFrameCollector m_collector{kFrameRestUs};
    QByteArray m_pendingText;
    FrameFault m_replyFault; // for the status frame that follows the ENQ
    bool m_awaitingEnq = false;
};

} // namespace talvex::sim
