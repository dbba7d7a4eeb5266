#include "dispenserlink.h"

#include "link/busywait.h"
#include "link/clock.h"
#include "link/frame.h"
#include "link/journal.h"
#include "link/serialcomm.h"
#include "link/serialerror.h"

#include <limits>

namespace talvex::dispenser {
namespace {

const QString kLineEnd = QStringLiteral("\r\n");
constexpr int kBytesPerLine = 25;

// ADDH is the first character of the address text, ADDL its last.
char addressHigh(const QByteArray &address) {
    return address.isEmpty() ? '\0' : address.front();
}
char addressLow(const QByteArray &address) {
    return address.isEmpty() ? '\0' : address.back();
}

// The bytes of a reply the link could not use, for the status line: a long
// one by its first bytes and its length, so that the line stays one line.
void reportOddReply(const CauseReporter &report, const char *what, const QByteArray &reply) {
    constexpr qsizetype kShown = 16;
    if (!report)
        return;
    QString text = QString::fromLatin1(what) + QLatin1Char(' ') +
                   link::bytesText(reply.left(kShown)).trimmed();
    if (reply.size() > kShown)
        text += QStringLiteral(" ... (%1 bytes)").arg(reply.size());
    report(text);
}

void reportNoAnswer(const CauseReporter &report, const char *what, int limitMs) {
    if (report)
        report(QString::fromLatin1(what) + (limitMs % 1000 == 0
                                                ? QStringLiteral(" within %1 s").arg(limitMs / 1000)
                                                : QStringLiteral(" within %1 ms").arg(limitMs)));
}

// Waits ms on the port instead of sleeping: what arrives is taken in as it
// comes, and a line that hangs up meanwhile is noticed now rather than at
// the next write.
QCoro::Task<> waitOnPort(link::SerialComm &port, int ms) {
    co_await port.waitForInBufferCount(std::numeric_limits<int>::max(), link::clock().nowMs() + ms);
}

} // namespace

quint8 Bcc820(const QByteArray &text) {
    quint8 bcc = link::STX;
    for (char c : text)
        bcc ^= static_cast<quint8>(c);
    return bcc ^ link::ETX;
}

quint8 Bcc840(const QByteArray &text) {
    return Bcc820(text);
}

QByteArray commandFrame(const QByteArray &text) {
    QByteArray frame;
    frame.reserve(text.size() + 3);
    frame += char(link::STX);
    frame += text;
    frame += char(link::ETX);
    frame += char(Bcc820(text));
    return frame;
}

QString trafficLine(const QString &prefix, const QByteArray &bytes) {
    QString line = prefix;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        line += link::byteText(static_cast<quint8>(bytes.at(i)));
        line += QLatin1Char(' ');
        if ((i + 1) % kBytesPerLine == 0)
            line += kLineEnd + QStringLiteral("    ");
    }
    return line + kLineEnd;
}

bool validStatusReply820(const QByteArray &reply, int size, char kind) {
    return reply.size() == size && size > 3 && reply.at(1) == 'S' && reply.at(2) == kind;
}

QString commandReplyWord840(const QByteArray &reply, const QByteArray &address) {
    if (reply.size() != 3)
        return kError;
    if (reply.at(1) != addressHigh(address) || reply.at(2) != addressLow(address))
        return QString();
    switch (static_cast<quint8>(reply.at(0))) {
    case link::ACK:
        return kOk;
    case link::NAK:
        return kError1;
    default:
        return QString();
    }
}

QByteArray statusCharacters840(const QByteArray &reply, const QByteArray &address) {
    if (reply.size() == 10 && static_cast<quint8>(reply.at(0)) == link::ACK &&
        reply.at(4) == addressHigh(address) && reply.at(5) == addressLow(address))
        return reply.mid(6, 2);
    return {};
}

QCoro::Task<QString> Link820::SendCommand820(QByteArray text) {
    co_return co_await send(std::move(text), true);
}

QCoro::Task<QString> Link820::SendCommand820Quiet(QByteArray text) {
    co_return co_await send(std::move(text), false);
}

QCoro::Task<QString> Link820::send(QByteArray text, bool logged) {
    m_userWaits = logged;
    if (logged && !m_log.keep())
        m_log.clear();
    const QByteArray frame = commandFrame(text);
    if (logged)
        m_log.append(trafficLine(QStringLiteral("SD: "), frame));
    try {
        const link::BusyStretch waiting(logged);
        m_port.setOutput(frame);
        // A monotonic deadline of the same length as the original's
        // seconds-since-midnight one, which misbehaved across midnight.
        const qint64 deadline = link::clock().nowMs() + kAckLimitMs;
        const bool answered = co_await m_port.waitForInBufferCount(1, deadline);
        const QByteArray answer = answered ? m_port.Input() : QByteArray();
        if (logged)
            link::recordDispenserExchange(link::LineKind::Dispenser820, m_port.CommPort(), frame,
                                          answer, link::clock().nowMs() + kAckLimitMs - deadline);
        // "RD: " follows the wait whatever it brought; a missing or wrong
        // acknowledgement leaves the line empty.
        if (logged)
            m_log.append(QStringLiteral("RD: "));
        if (!answered) {
            reportNoAnswer(m_reportCause, "KVR-820: no answer", kAckLimitMs);
        } else if (answer.isEmpty() || static_cast<quint8>(answer.front()) != link::ACK) {
            reportOddReply(m_reportCause, "KVR-820: unexpected reply", answer);
        } else {
            // Bytes after the acknowledgement are not examined. The two
            // one-byte lines carry no blank after the byte.
            if (logged)
                m_log.append(QStringLiteral("06") + kLineEnd);
            m_port.setOutput(QByteArray(1, char(link::ENQ)));
            if (logged)
                m_log.append(QStringLiteral("SD: 05") + kLineEnd);
            co_return kOk;
        }
        if (logged)
            m_log.append(kLineEnd);
        co_return kError;
    } catch (const link::SerialError &error) {
        m_portError(error.number());
    }
    if (logged)
        m_log.append(kLineEnd);
    co_return kError;
}

QByteArray Link820::judged(const QByteArray &reply, int waitMs, int size, char kind) {
    if (reply.isEmpty())
        reportNoAnswer(m_reportCause, "KVR-820: no status reply", waitMs);
    else if (!validStatusReply820(reply, size, kind))
        reportOddReply(m_reportCause, "KVR-820: unexpected status reply", reply);
    return reply;
}

QCoro::Task<QByteArray> Link820::readReplyAfter(int waitMs, int size, char kind) {
    QByteArray reply;
    try {
        const link::BusyStretch waiting(m_userWaits);
        co_await waitOnPort(m_port, waitMs);
        if (m_port.InBufferCount() > 0)
            reply = m_port.Input();
        if (m_userWaits)
            link::recordDispenserExchange(link::LineKind::Dispenser820, m_port.CommPort(), {}, reply);
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        co_return QByteArray();
    }
    co_return judged(reply, waitMs, size, kind);
}

QCoro::Task<QByteArray> Link820::readReplyWithin(int limitMs, int size, char kind) {
    QByteArray reply;
    try {
        const link::BusyStretch waiting(m_userWaits);
        co_await m_port.waitForInBufferCount(size, link::clock().nowMs() + limitMs);
        reply = m_port.Input();
        if (m_userWaits)
            link::recordDispenserExchange(link::LineKind::Dispenser820, m_port.CommPort(), {}, reply);
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        co_return QByteArray();
    }
    co_return judged(reply, limitMs, size, kind);
}

void Link820::logStatusReply(const QByteArray &reply, const QString &prefix) {
    m_log.append(trafficLine(prefix, reply));
}

QCoro::Task<QString> Link840::SendCommand840(QByteArray address, QByteArray command) {
    const QByteArray text = address + command;
    if (!m_log.keep())
        m_log.clear();
    const QByteArray frame = commandFrame(text);
    m_log.append(trafficLine(QStringLiteral("SD: "), frame));
    QString result = kError;
    try {
        const link::BusyStretch waiting;
        m_port.setOutput(frame);
        co_await waitOnPort(m_port, kAnswerWaitMs);
        const QByteArray reply = m_port.InBufferCount() > 0 ? m_port.Input() : QByteArray();
        link::recordDispenserExchange(link::LineKind::Dispenser840, m_port.CommPort(), frame, reply);
        if (!reply.isEmpty())
            m_log.append(QStringLiteral("RD: "));
        // Only a three-byte answer is logged; any other goes to the status line.
        if (reply.size() == 3)
            m_log.append(trafficLine(QString(), reply));
        else if (!reply.isEmpty())
            reportOddReply(m_reportCause, "KVR-840: unexpected reply", reply);
        else
            reportNoAnswer(m_reportCause, "KVR-840: no answer", kAnswerWaitMs);
        result = commandReplyWord840(reply, address);
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        result = kError;
    }
    m_log.append(kLineEnd);
    co_return result;
}

QCoro::Task<QString> Link840::QueryStatus840(QByteArray address, StatusDecode decode) {
    co_return co_await status(std::move(address), std::move(decode), true);
}

QCoro::Task<QString> Link840::AutoStatus840(QByteArray address, StatusDecode decode) {
    co_return co_await status(std::move(address), std::move(decode), false);
}

QCoro::Task<QString> Link840::status(QByteArray address, StatusDecode decode, bool logged) {
    if (logged && !m_log.keep())
        m_log.clear();
    const QByteArray frame = commandFrame(address + "AP");
    if (logged)
        m_log.append(trafficLine(QStringLiteral("SD: "), frame));
    QString result = kError;
    try {
        const link::BusyStretch waiting(logged);
        m_port.setOutput(frame);
        const int waitMs = logged ? kAnswerWaitMs : kPollAnswerWaitMs;
        co_await waitOnPort(m_port, waitMs);
        const QByteArray reply = m_port.InBufferCount() > 0 ? m_port.Input() : QByteArray();
        // Only what the log shows joins the decoded view; the quiet polls do not.
        if (logged)
            link::recordDispenserExchange(link::LineKind::Dispenser840, m_port.CommPort(), frame,
                                          reply);
        if (logged && !reply.isEmpty())
            m_log.append(trafficLine(QStringLiteral("RD: "), reply));
        const QByteArray characters = statusCharacters840(reply, address);
        if (!characters.isEmpty()) {
            decode(characters);
            m_port.setOutput(QByteArray(1, char(link::ACK)) + address.trimmed());
            result = kOk;
        } else if (reply.isEmpty()) {
            reportNoAnswer(m_reportCause, "KVR-840: no answer", waitMs);
        } else {
            reportOddReply(m_reportCause, "KVR-840: unexpected reply", reply);
        }
        // Whatever else came (a late or doubled reply) must not be taken for
        // the answer to the next query.
        m_port.setInBufferCount(0);
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        result = kError;
    }
    if (logged)
        m_log.append(kLineEnd);
    co_return result;
}

} // namespace talvex::dispenser
