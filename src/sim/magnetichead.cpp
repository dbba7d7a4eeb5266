#include "sim/magnetichead.h"

#include "sim/bcc.h"
#include "sim/readerdevice.h"

#include <algorithm>

namespace talvex::sim {
namespace {

constexpr char kEot = 0x04;

bool swipeReader(ReaderModel model) {
    return model == ReaderModel::Kvr416 || model == ReaderModel::Kvr523;
}

bool cardOut(const SimCard &card) {
    return !card.present() || card.place == CardPlace::Front || card.place == CardPlace::Rear;
}

SimCard magneticCard(const MagneticCard &tracks) {
    SimCard card;
    card.kind = CardKind::Magnetic;
    card.place = CardPlace::Inside;
    card.magnetic = tracks;
    return card;
}

} // namespace

void MagneticHead::setFeeder(bool on, int delayMs) {
    m_feederOn = on;
    m_feedDelayMs = std::max(0, delayMs);
    m_feedAtUs = -1;
}

std::optional<SimCard> MagneticHead::cardUnderHead(const ReaderDevice &reader) const {
    if (swipeReader(reader.model()))
        return m_swiped;
    const SimCard &card = reader.card();
    if (cardOut(card))
        return std::nullopt;
    return card;
}

void MagneticHead::reset() {
    m_swipeRequested = false;
    m_feedAtUs = -1;
    m_enquiriesSent = 0;
    m_uploadFrame.clear();
}

bool MagneticHead::needsFeedScheduled(const ReaderDevice &reader) const {
    if (!m_feederOn || m_feedAtUs >= 0 || m_swipeRequested)
        return false;
    if (swipeReader(reader.model()))
        return m_enquiriesSent == 0;
    return cardOut(reader.card());
}

QByteArray MagneticHead::swipe(ReaderDevice &reader, qint64 nowUs) {
    if (!swipeReader(reader.model())) {
        if (cardOut(reader.card()))
            reader.setCard(magneticCard(m_nextCard));
        return {};
    }
    const ReaderControlState &method = reader.control();
    if (!(reader.model() == ReaderModel::Kvr523 && method.initiativeUpload())) {
        m_swiped = magneticCard(m_nextCard);
        return {};
    }
    // A reader still asking to be heard ignores the next card.
    if (m_enquiriesSent > 0)
        return {};
    QByteArray body("P0Y");
    body += method.readMode;
    body += method.trackCode;
    body += magneticTrackSections(&m_nextCard, method.readMode, method.trackCode);
    m_uploadFrame = readerFrame(body);
    m_enquiriesSent = 1;
    m_nextEnquiryUs = nowUs + kAckWaitUs;
    return QByteArray(1, kEnq);
}

QByteArray MagneticHead::due(ReaderDevice &reader, qint64 nowUs) {
    QByteArray out;
    if (m_swipeRequested) {
        m_swipeRequested = false;
        out += swipe(reader, nowUs);
    }
    if (m_feedAtUs >= 0 && nowUs >= m_feedAtUs) {
        m_feedAtUs = -1;
        out += swipe(reader, nowUs);
    }
    if (m_enquiriesSent > 0 && nowUs >= m_nextEnquiryUs) {
        if (m_enquiriesSent < kEnquiries) {
            out += kEnq;
            ++m_enquiriesSent;
            m_nextEnquiryUs = nowUs + kAckWaitUs;
        } else {
            out += kEot;
            m_enquiriesSent = 0;
            m_uploadFrame.clear();
        }
    }
    if (needsFeedScheduled(reader))
        m_feedAtUs = nowUs + qint64(m_feedDelayMs) * 1000;
    return out;
}

qint64 MagneticHead::wakeUs(const ReaderDevice &reader) const {
    if (m_swipeRequested || needsFeedScheduled(reader))
        return 0;
    qint64 wake = m_feedAtUs;
    if (m_enquiriesSent > 0 && (wake < 0 || m_nextEnquiryUs < wake))
        wake = m_nextEnquiryUs;
    return wake;
}

QByteArray MagneticHead::acknowledged() {
    if (m_enquiriesSent == 0)
        return {};
    m_enquiriesSent = 0;
    QByteArray frame;
    frame.swap(m_uploadFrame);
    return frame;
}

} // namespace talvex::sim
