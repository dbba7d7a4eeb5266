#pragma once

#include "sim/device.h"
#include "sim/fault.h"
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

    // One-shot: applies to the next frame that arrives.
    void injectFault(const Fault &fault) { m_fault = fault; }
    Fault pendingFault() const { return m_fault; }

    // Entry permissions as the status query reports them (motorised models).
    bool frontEntryAllowed() const { return m_frontEntry; }
    void setFrontEntryAllowed(bool on) { m_frontEntry = on; }
    bool rearEntryAllowed() const { return m_rearEntry; }
    void setRearEntryAllowed(bool on) { m_rearEntry = on; }

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
    Fault m_fault;
    Fault m_faultInForce; // the fault taken for the exchange now running
    bool m_frontEntry = true;
    bool m_rearEntry = true;

    QByteArray m_frame; // frame being collected, from STX on
    qint64 m_lastByteUs = 0;
    QByteArray m_pendingBody; // acknowledged command waiting for ENQ
    bool m_awaitingEnq = false;
};

} // namespace talvex::sim
