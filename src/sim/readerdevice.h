#pragma once

#include "sim/device.h"
#include "sim/fault.h"
#include "sim/magnetichead.h"
#include "sim/readercontrol.h"
#include "sim/readermodel.h"
#include "sim/simcard.h"

#include <QByteArray>

namespace talvex::sim {

// The reader end of the reader protocol: collects a frame by its length,
// answers ACK (NAK on a wrong BCC), waits for ENQ, then sends the reply frame.
// Replies come from a table with one function per command code
// (readercommands.cpp); a code missing from it gets "Undefined Command".
class ReaderDevice final : public Device {
public:
    explicit ReaderDevice(ReaderModel model = ReaderModel::Kvr690);

    ReaderModel model() const { return m_model; }
    // A different model is a different reader: the line state and the entry
    // permissions start afresh; the card stays where it is.
    void setModel(ReaderModel model);

    const SimCard &card() const { return m_card; }
    void setCard(const SimCard &card) { m_card = card; }

    SamSockets &sams() { return m_sams; }
    // Swipes, initiative uploading and the card feeder.
    MagneticHead &magneticHead() { return m_head; }
    const MagneticHead &magneticHead() const { return m_head; }

    // One-shot: applies to the next frame that arrives.
    void injectFault(const Fault &fault) { m_fault = fault; }
    Fault pendingFault() const { return m_fault; }

    // Entry permissions, stop position, serial number, reading method.
    ReaderControlState &control() { return m_control; }
    const ReaderControlState &control() const { return m_control; }
    bool frontEntryAllowed() const { return m_control.frontEntryAllowed(); }
    bool rearEntryAllowed() const { return m_control.rearEntryAllowed(); }

    // How long a card move takes before the reply is ready (0 for fast tests).
    int moveTimeMs() const { return m_moveTimeMs; }
    void setMoveTimeMs(int ms) { m_moveTimeMs = ms; }
    // Called by a command that moves the card: its reply waits one move time.
    void spendMoveTime() { m_replyDelayUs += qint64(m_moveTimeMs) * 1000; }
    // Called by the speed command: the reply leaves at the old speed.
    void setBaudAfterReply(int baud) { m_baudAfterReply = baud; }

    // How long the line may stay quiet in the middle of a frame before the
    // device forgets it. Counted from the last byte, not the first: a long
    // frame at a low speed takes longer than this on the wire.
    static constexpr qint64 kFrameRestUs = 1'000'000;
    // Limit of the program's reply buffer; OverlongReply goes past it.
    static constexpr int kReplyBufferSize = 1025;

protected:
    void receive(const QByteArray &bytes, qint64 nowUs) override;
    void expire(qint64 nowUs) override;
    qint64 ownWakeUs() const override;
    void restart() override;

private:
    void frameComplete(qint64 nowUs);
    void enquiry(qint64 nowUs);
    QByteArray replyBody(const QByteArray &commandBody);

    ReaderModel m_model;
    SimCard m_card;
    SamSockets m_sams;
    MagneticHead m_head;
    Fault m_fault;
    Fault m_faultInForce; // the fault taken for the exchange now running
    ReaderControlState m_control;
    int m_moveTimeMs = 300;
    qint64 m_replyDelayUs = 0;
    int m_baudAfterReply = 0;

    QByteArray m_frame; // frame being collected, from STX on
    qint64 m_lastByteUs = 0;
    QByteArray m_pendingBody; // acknowledged command waiting for ENQ
    bool m_awaitingEnq = false;
};

} // namespace talvex::sim
