#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <functional>

namespace talvex::link {
class SerialComm;
}

namespace talvex::dispenser {

// Result words of the dispenser exchanges. Callers compare against kOk only.
inline const QString kOk = QStringLiteral("OK");
inline const QString kError = QStringLiteral("ERROR");
inline const QString kError1 = QStringLiteral("ERROR1");

// The traffic log box SDTDText shared by both dispenser models, with its
// "Record Data" box: unticked, each logged exchange starts from an empty log.
class TrafficLog {
public:
    virtual ~TrafficLog() = default;
    virtual bool keep() const = 0;
    virtual void clear() = 0;
    virtual void append(const QString &text) = 0;
};

// XOR of STX, every character of text and ETX. The KVR-840's text starts with
// its two address characters.
quint8 Bcc820(const QByteArray &text);
quint8 Bcc840(const QByteArray &text);
// STX text ETX BCC: both models' command frames (the KVR-840 text carries the address).
QByteArray commandFrame(const QByteArray &text);

// "SD: " or "RD: " and the bytes as "0A " each, wrapped after every 25th byte
// onto a new line that starts with four blanks, then CR LF.
QString trafficLine(const QString &prefix, const QByteArray &bytes);

// A KVR-820 status reply: `size` bytes with "S" and `kind` at 1 and 2 ("RF"
// 8 bytes and "AP" 9 bytes with "F", "SI" 6 bytes with "I"); the status
// characters stand from byte 3 to the one before ETX.
bool validStatusReply820(const QByteArray &reply, int size, char kind);
// The word of a KVR-840 command reply: "OK" for 06 ADDH ADDL, "ERROR1" for 15
// ADDH ADDL, empty for any other three bytes, "ERROR" for any other length.
QString commandReplyWord840(const QByteArray &reply, const QByteArray &address);
// The two status characters of a valid KVR-840 status reply (ten bytes, 06
// first, ADDH and ADDL at 4 and 5); empty for any other reply.
QByteArray statusCharacters840(const QByteArray &reply, const QByteArray &address);

// What a link reports when the serial component raised a run-time error: the
// number (8018 for a closed port) and the component's own reason, if any.
using PortErrorHandler = std::function<void(int number)>;
// Where a link says what really arrived when the log keeps its fixed form.
using CauseReporter = std::function<void(const QString &cause)>;

// The KVR-820 link on MSComm820: frame, acknowledgement 06, then ENQ runs it.
class Link820 {
public:
    Link820(link::SerialComm &port, TrafficLog &log, PortErrorHandler portError,
            CauseReporter reportCause = {})
        : m_port(port), m_log(log), m_portError(std::move(portError)),
          m_reportCause(std::move(reportCause)) {}

    // Awaited: the window runs on while the dispenser is waited for. Closing
    // the port meanwhile throws link::Abandoned out of them.
    QCoro::Task<QString> SendCommand820(QByteArray text);
    QCoro::Task<QString> SendCommand820Quiet(QByteArray text);

    // The status reply after an accepted "RF", "AP" or "SI": waits waitMs, then
    // takes whatever is waiting in one read. Empty when nothing came. The
    // callers ignore a reply that validStatusReply820() refuses for size and
    // kind; the status line says what came instead.
    QCoro::Task<QByteArray> readReplyAfter(int waitMs, int size, char kind);
    // The same, but reads as soon as size bytes wait or the time is up.
    QCoro::Task<QByteArray> readReplyWithin(int limitMs, int size, char kind);

    // Logged as "RD:" directly followed by the bytes (the status handlers' form);
    // the settings dialog's detection keeps the blank of the command replies.
    void logStatusReply(const QByteArray &reply, const QString &prefix = QStringLiteral("RD:"));

    static constexpr int kAckLimitMs = 5000;

private:
    QCoro::Task<QString> send(QByteArray text, bool logged);
    QByteArray judged(const QByteArray &reply, int waitMs, int size, char kind);

    link::SerialComm &m_port;
    TrafficLog &m_log;
    PortErrorHandler m_portError;
    CauseReporter m_reportCause;
    // The status reply that follows a logged command is part of what the user
    // waits for; the one after a quiet poll is not.
    bool m_userWaits = false;
};

// The KVR-840 link on MSComm840: address-framed commands answered by
// 06/15 ADDH ADDL, and the "AP" status reply with its acknowledgement.
class Link840 {
public:
    Link840(link::SerialComm &port, TrafficLog &log, PortErrorHandler portError,
            CauseReporter reportCause = {})
        : m_port(port), m_log(log), m_portError(std::move(portError)),
          m_reportCause(std::move(reportCause)) {}

    // The frame carries the address text followed by the command text; the
    // reply must name the same address.
    QCoro::Task<QString> SendCommand840(QByteArray address, QByteArray command);
    // "AP" with the log (250 ms answer time) or without it (100 ms, the poll).
    // A valid reply's two status characters go to decode before the status
    // acknowledgement leaves.
    using StatusDecode = std::function<void(const QByteArray &)>;
    QCoro::Task<QString> QueryStatus840(QByteArray address, StatusDecode decode);
    QCoro::Task<QString> AutoStatus840(QByteArray address, StatusDecode decode);

    static constexpr int kAnswerWaitMs = 250;
    static constexpr int kPollAnswerWaitMs = 100;

private:
    QCoro::Task<QString> status(QByteArray address, StatusDecode decode, bool logged);

    link::SerialComm &m_port;
    TrafficLog &m_log;
    PortErrorHandler m_portError;
    CauseReporter m_reportCause;
};

} // namespace talvex::dispenser
