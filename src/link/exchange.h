#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QCoro/QCoroTask>

namespace talvex::link {

class SerialComm;

// The window state the reader exchange reads and writes. The reader window
// provides it; tests and benchmarks use ReaderLinkState.
class ReaderLinkContext {
public:
    virtual ~ReaderLinkContext() = default;

    virtual bool portSetUp() const = 0;         // PortSetUp
    virtual void setPortSetUp(bool on) = 0;
    virtual SerialComm &readerPort() = 0;       // MSComm1

    virtual QString trafficLog() const = 0;     // SDTDText
    virtual void clearTrafficLog() = 0;
    virtual void appendTrafficLog(const QString &text) = 0;
    virtual bool keepTrafficLog() const = 0;    // CheckRecord ("Record Data")

    virtual void setExchangeTime(const QString &ms) = 0; // TIMESTR

    virtual bool recordingToFile() const = 0;   // CheckRecordToFile
    virtual void appendRecord(const QString &text) = 0; // AppendRecordFile

    // The window's status line: what a box does not say (a refused click on a
    // busy line, a short reply, a line that went away). Nowhere by default.
    virtual void showStatus(const QString &text) { Q_UNUSED(text); }
};

using ReplyStatus = qint16;
constexpr ReplyStatus kReplyOk = 0;
constexpr ReplyStatus kReplyFailed = -1;
constexpr ReplyStatus kReplyNegative = -3;

constexpr int kReplyBufferSize = 1025;
inline QByteArray newReplyBuffer() { return QByteArray(kReplyBufferSize, '\0'); }

// Time limits of the handshake, in milliseconds.
constexpr int kAckLimitMs = 3000;
constexpr int kHeaderLimitMs = 8000;
constexpr int kRestLimitMs = 3000;

// One command exchange: writes the first count bytes of frame, waits for ACK,
// sends ENQ, collects the reply frame and checks its BCC, writes the traffic
// log and reports failures in message boxes. On a correct BCC the reply body,
// ETX and BCC are copied into reply from index 0 and replyLength counts them.
// Awaited: the event loop runs while the reader takes its time. reply and
// replyLength must outlive the exchange (await it at once). Closing the port
// meanwhile throws Abandoned out of it, with no box.
QCoro::Task<ReplyStatus> SendReaderCommand(ReaderLinkContext &ctx, QByteArray frame, int count,
                                           QByteArray &reply, qint16 &replyLength);

// Traffic log lines, each ending in CR LF.
QString sentLine(const QByteArray &bytes);          // "SD: ..." with 24/25-byte continuation
QString answerLine(quint8 byte);                    // "RD: 06"
QString enqLine();                                  // "SD: 05"
QString replyLine(const QByteArray &headerAndRest); // "RD: ..." 25 bytes a line

// Plain window state for tests, benchmarks and tools.
class ReaderLinkState : public ReaderLinkContext {
public:
    explicit ReaderLinkState(SerialComm &port) : m_port(port) {}

    bool portSetUp() const override { return m_portSetUp; }
    void setPortSetUp(bool on) override { m_portSetUp = on; }
    SerialComm &readerPort() override { return m_port; }
    QString trafficLog() const override { return m_log; }
    void clearTrafficLog() override { m_log.clear(); }
    void appendTrafficLog(const QString &text) override { m_log += text; }
    bool keepTrafficLog() const override { return m_keepLog; }
    void setExchangeTime(const QString &ms) override { m_time = ms; }
    bool recordingToFile() const override { return m_recording; }
    void appendRecord(const QString &text) override { m_records.append(text); }

    bool m_portSetUp = false;
    bool m_keepLog = false;
    bool m_recording = false;
    QString m_log;
    QString m_time;
    QStringList m_records;

private:
    SerialComm &m_port;
};

} // namespace talvex::link
