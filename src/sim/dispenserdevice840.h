#pragma once

#include "sim/device.h"
#include "sim/dispensermechanics.h"
#include "sim/etxframecollector.h"

#include <QByteArray>
#include <optional>

namespace talvex::sim {

// The KVR-840 end: STX ADDH ADDL text ETX BCC. A frame for this address is
// answered 06 ADDH ADDL (15 ADDH ADDL when its BCC is wrong); frames for other
// addresses are ignored. "AP" is answered 06 ADDH ADDL STX ADDH ADDL S1 S2 ETX BCC.
//
// Behind S1 and S2 sits a machine: a stacker that runs pre-empty and empty, a
// dispense that takes time (S1 "1"), a card waiting at the mouth to be taken
// (S1 "2") or gone (S1 "3"), and faults.
class DispenserDevice840 final : public Device {
public:
    DispenserDevice840();

    // Two ASCII characters, "00" to "15"; default "15".
    QByteArray address() const { return m_address; }
    void setAddress(const QByteArray &address) { m_address = address.left(2); }

    // S1 (dispense state) and S2 (stacker).
    struct Status {
        char s1 = '0';
        char s2 = '0';
        bool operator==(const Status &) const = default;
    };
    Status status() const;
    // Forces the characters of the next replies until a command moves the
    // machine again.
    void setStatus(const Status &status) { m_forced = status; }

    DispenserMechanics mechanics() const { return m_mech; }
    void setMechanics(const DispenserMechanics &mechanics) { m_mech = mechanics; }
    int stackerCards() const { return m_mech.stackerCards; }
    void setStackerCards(int cards);
    bool cardAtMouth() const { return m_s1 == '2'; }
    bool takeCard();
    bool preDispenseAllowed() const { return m_preDispense; }

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
    void frameComplete(const QByteArray &frame, qint64 nowUs);
    void execute(const QByteArray &text, qint64 nowUs);
    void finishDispense();

    QByteArray m_address = "15";
    DispenserMechanics m_mech;
    std::optional<Status> m_forced;
    char m_s1 = '0';
    bool m_moving = false;
    qint64 m_motionEndUs = 0;
    bool m_motionFails = false;
    bool m_clip = false;
    bool m_preDispense = false;
    ArmedFaults m_faults;
    EtxFrameCollector m_collector{kFrameRestUs};
};

} // namespace talvex::sim
