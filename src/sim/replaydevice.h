#pragma once

#include "link/journal.h"
#include "sim/device.h"
#include "sim/etxframecollector.h"

#include <QByteArray>
#include <QList>

#include <deque>
#include <functional>
#include <map>

namespace talvex::sim {

// Plays the device side of a captured session: each command gets the answer
// and reply that the same command got in the capture, the Nth occurrence the
// Nth recorded one (past the last, the last again). Silence, NAK, short and
// broken replies replay as they were recorded. A command never captured gets
// what the device gives an unknown command: the reader "Undefined Command"
// (N, PM, 00h), the dispensers their plain acknowledgement; the notice
// callback says so.
//
// The exchanges given must be of one line (one port, one kind).
class ReplayDevice final : public Device {
public:
    using Notice = std::function<void(const QString &text)>;

    ReplayDevice(link::LineKind kind, const QList<link::ExchangeRecord> &exchanges);

    link::LineKind kind() const { return m_kind; }
    // Keep the recorded time each exchange took, instead of answering at once.
    void setTiming(bool on) { m_timing = on; }
    void setNotice(Notice notice) { m_notice = std::move(notice); }
    // Distinct commands that have recorded answers.
    int commandCount() const { return int(m_recorded.size()); }

    // How long the line may stay quiet in the middle of a frame.
    static constexpr qint64 kFrameRestUs = 1'000'000;

protected:
    void receive(const QByteArray &bytes, qint64 nowUs) override;
    void expire(qint64 nowUs) override;
    void restart() override;
    qint64 ownWakeUs() const override;

private:
    struct Answer {
        QByteArray answer;   // first bytes back for the command
        QByteArray afterEnq; // reader: the reply frame; KVR-820: the status reply
        qint64 elapsedMs = 0;
    };
    struct Recorded {
        std::deque<Answer> answers;
        size_t next = 0;
    };

    void readerByte(char byte, qint64 nowUs);
    void frameDone(const QByteArray &frame, qint64 nowUs);
    Answer answerFor(const QByteArray &frame);
    Answer unknownAnswer(const QByteArray &frame) const;
    void say(const QString &text) const;

    link::LineKind m_kind;
    std::map<QByteArray, Recorded> m_recorded;
    bool m_timing = false;
    Notice m_notice;

    // Reader frames are collected by their length; dispenser frames by ETX.
    QByteArray m_frame;
    qint64 m_lastByteUs = 0;
    EtxFrameCollector m_etxFrames{kFrameRestUs};

    bool m_awaitingEnq = false;
    Answer m_pending;
    qint64 m_frameUs = 0;
};

} // namespace talvex::sim
