#pragma once

#include "sim/device.h"
#include "sim/etxframecollector.h"

#include <QByteArray>

namespace talvex::sim {

// The KVR-840 end: STX ADDH ADDL text ETX BCC. A frame for this address is
// answered 06 ADDH ADDL (15 ADDH ADDL when its BCC is wrong); frames for other
// addresses are ignored. "AP" is answered 06 ADDH ADDL STX ADDH ADDL S1 S2 ETX BCC.
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
    Status status() const { return m_status; }
    void setStatus(const Status &status) { m_status = status; }

    static constexpr qint64 kFrameRestUs = 1'000'000;

protected:
    void receive(const QByteArray &bytes, qint64 nowUs) override;
    void expire(qint64 nowUs) override;
    qint64 ownWakeUs() const override;
    void restart() override;

private:
    void frameComplete(const QByteArray &frame, qint64 nowUs);

    QByteArray m_address = "15";
    Status m_status;
    EtxFrameCollector m_collector{kFrameRestUs};
};

} // namespace talvex::sim
