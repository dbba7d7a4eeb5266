#pragma once

#include "sim/magneticcard.h"
#include "sim/simcard.h"

#include <QByteArray>
#include <optional>

namespace talvex::sim {

class ReaderDevice;

// The magnetic side of a simulated reader that the program does not command:
// cards swiped or inserted by hand, the KVR-523's initiative uploading, and an
// automatic card feeder for endurance runs. The reader device drives it with
// its own time and sends what it returns.
//
// Initiative uploading (the KVR-523 with its reading method's upload on, in the
// data form and for the tracks that command set): after a swipe the reader sends ENQ and waits for
// the host's ACK, then sends the track frame. Without an ACK it asks twice more, then gives up with
// EOT and the swipe is lost (ENQ ENQ ENQ EOT on the line).
class MagneticHead {
public:
    static constexpr qint64 kAckWaitUs = 1'000'000;
    static constexpr int kEnquiries = 3;

    // The card a swipe, an insertion by hand or the feeder brings.
    const MagneticCard &nextCard() const { return m_nextCard; }
    void setNextCard(const MagneticCard &card) { m_nextCard = card; }

    // A card swiped (swipe readers) or inserted (motorised readers) as soon as
    // the device next runs.
    void requestSwipe() { m_swipeRequested = true; }

    // With the feeder on, a motorised reader gets a new card feedDelayMs after
    // its card went out to the front or the rear (or when it is empty); a
    // swipe reader gets a swipe feedDelayMs after the last one was dealt with.
    bool feederOn() const { return m_feederOn; }
    int feedDelayMs() const { return m_feedDelayMs; }
    void setFeeder(bool on, int delayMs);

    // The card a read command reads: the one inside a motorised reader, the
    // last one swiped on a swipe reader.
    std::optional<SimCard> cardUnderHead(const ReaderDevice &reader) const;
    void clearSwipedCard() { m_swiped.reset(); }

    // Device side. due() returns what to send at nowUs and moves cards;
    // wakeUs() is when it next wants to run (-1 never, 0 at once).
    QByteArray due(ReaderDevice &reader, qint64 nowUs);
    qint64 wakeUs(const ReaderDevice &reader) const;
    // Bytes between the program's frames: an ACK to a pending upload request
    // returns the track frame to send.
    bool awaitingAck() const { return m_enquiriesSent > 0; }
    QByteArray acknowledged();
    // A command from the program ends an upload that is still asking.
    void abandonUpload() { m_enquiriesSent = 0; }
    // The line restarts: nothing is pending any more; settings stay.
    void reset();

private:
    bool needsFeedScheduled(const ReaderDevice &reader) const;
    QByteArray swipe(ReaderDevice &reader, qint64 nowUs);

    MagneticCard m_nextCard = MagneticCard::testCard();
    std::optional<SimCard> m_swiped;
    bool m_swipeRequested = false;

    bool m_feederOn = false;
    int m_feedDelayMs = 1000;
    qint64 m_feedAtUs = -1;

    QByteArray m_uploadFrame;
    int m_enquiriesSent = 0;
    qint64 m_nextEnquiryUs = -1;
};

} // namespace talvex::sim
