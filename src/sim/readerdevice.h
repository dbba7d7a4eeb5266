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

    // How long the rest of a frame may take after its first byte before the
    // device forgets it.
    static constexpr qint64 kFrameRestMs = 1000;
    // Limit of the program's reply buffer; OverlongReply goes past it.
    static constexpr int kReplyBufferSize = 1025;

public:
    void advance(qint64 nowMs) override;

protected:
    void receive(const QByteArray &bytes, qint64 nowMs) override;
    qint64 ownWakeMs() const override;
    void restart() override;

private:
    void frameComplete(qint64 nowMs);
    void enquiry(qint64 nowMs);
    QByteArray replyBody(const QByteArray &commandBody);

    ReaderModel m_model;
    SimCard m_card;
    Fault m_fault;
    Fault m_faultInForce; // the fault taken for the exchange now running
    bool m_frontEntry = true;
    bool m_rearEntry = true;

    QByteArray m_frame; // frame being collected, from STX on
    qint64 m_frameStartMs = 0;
    QByteArray m_pendingBody; // acknowledged command waiting for ENQ
    bool m_awaitingEnq = false;
};

} // namespace talvex::sim
