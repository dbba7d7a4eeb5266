#pragma once

#include "sim/device.h"
#include "sim/etxframecollector.h"

#include <QByteArray>

namespace talvex::sim {

// The KVR-820 end: STX text ETX BCC is acknowledged with 06; the command runs
// when ENQ follows. "RF" and "AP" then answer with a status frame
// STX "S" "F" chars ETX BCC (three chars for "RF", four for "AP").
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
    Status status() const { return m_status; }
    void setStatus(const Status &status) { m_status = status; }

    // Door setting code "0", "1" or "2" as "SI" reports and "IN" sets it.
    char doorCode() const { return m_door; }

    static constexpr qint64 kFrameRestUs = 1'000'000;

protected:
    void receive(const QByteArray &bytes, qint64 nowUs) override;
    void expire(qint64 nowUs) override;
    qint64 ownWakeUs() const override;
    void restart() override;

private:
    void execute(const QByteArray &text, qint64 nowUs);

    Status m_status;
    char m_door = '0';
    EtxFrameCollector m_collector{kFrameRestUs};
    QByteArray m_pendingText;
    bool m_awaitingEnq = false;
};

} // namespace talvex::sim
