#include "dispenserlink.h"
#include "link/blockon.h"

#include "link/busywait.h"
#include "link/clock.h"
#include "link/frame.h"
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
void waitOnPort(link::SerialComm &port, int ms) {
    link::blockOn(port.waitForInBufferCount(std::numeric_limits<int>::max(), link::clock().nowMs() + ms));
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

QString Link820::SendCommand820(const QByteArray &text) {
    return send(text, true);
}

QString Link820::SendCommand820Quiet(const QByteArray &text) {
    return send(text, false);
}

QString Link820::send(const QByteArray &text, bool logged) {
    m_userWaits = logged;
    if (logged && !m_log.keep())
        m_log.clear();
    const QByteArray frame = commandFrame(text);
    if (logged)
        m_log.append(trafficLine(QStringLiteral("SD: "), frame));
    const auto fail = [&] {
        if (logged)
            m_log.append(kLineEnd);
        return kError;
    };
    try {
        const link::BusyStretch waiting(logged);
        m_port.setOutput(frame);
        // A monotonic deadline of the same length as the original's
        // seconds-since-midnight one, which misbehaved across midnight.
        const qint64 deadline = link::clock().nowMs() + kAckLimitMs;
        if (!link::blockOn(m_port.waitForInBufferCount(1, deadline))) {
            reportNoAnswer(m_reportCause, "KVR-820: no answer", kAckLimitMs);
            return fail();
        }
        const QByteArray answer = m_port.Input();
        if (answer.isEmpty() || static_cast<quint8>(answer.front()) != link::ACK) {
            // The log shows an empty "RD: " line here; the bytes go to the status line.
            if (logged)
                m_log.append(QStringLiteral("RD: ") + kLineEnd);
            reportOddReply(m_reportCause, "KVR-820: unexpected reply", answer);
            return kError;
        }
        // Bytes after the acknowledgement are not examined.
        if (logged)
            m_log.append(trafficLine(QStringLiteral("RD: "), answer.left(1)));
        m_port.setOutput(QByteArray(1, char(link::ENQ)));
        if (logged)
            m_log.append(trafficLine(QStringLiteral("SD: "), QByteArray(1, char(link::ENQ))));
        return kOk;
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        return fail();
    }
}

QByteArray Link820::judged(const QByteArray &reply, int waitMs, int size, char kind) {
    if (reply.isEmpty())
        reportNoAnswer(m_reportCause, "KVR-820: no status reply", waitMs);
    else if (!validStatusReply820(reply, size, kind))
        reportOddReply(m_reportCause, "KVR-820: unexpected status reply", reply);
    return reply;
}

QByteArray Link820::readReplyAfter(int waitMs, int size, char kind) {
    QByteArray reply;
    try {
        const link::BusyStretch waiting(m_userWaits);
        waitOnPort(m_port, waitMs);
        if (m_port.InBufferCount() > 0)
            reply = m_port.Input();
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        return {};
    }
    return judged(reply, waitMs, size, kind);
}

QByteArray Link820::readReplyWithin(int limitMs, int size, char kind) {
    QByteArray reply;
    try {
        const link::BusyStretch waiting(m_userWaits);
        link::blockOn(m_port.waitForInBufferCount(size, link::clock().nowMs() + limitMs));
        reply = m_port.Input();
    } catch (const link::SerialError &error) {
        m_portError(error.number());
        return {};
    }
    return judged(reply, limitMs, size, kind);
}

void Link820::logStatusReply(const QByteArray &reply, const QString &prefix) {
    m_log.append(trafficLine(prefix, reply));
}

QString Link840::SendCommand840(const QByteArray &address, const QByteArray &command) {
    const QByteArray text = address + command;
    if (!m_log.keep())
        m_log.clear();
    const QByteArray frame = commandFrame(text);
    m_log.append(trafficLine(QStringLiteral("SD: "), frame));
    QString result = kError;
    try {
        const link::BusyStretch waiting;
        m_port.setOutput(frame);
        waitOnPort(m_port, kAnswerWaitMs);
        const QByteArray reply = m_port.InBufferCount() > 0 ? m_port.Input() : QByteArray();
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
    return result;
}

QString Link840::QueryStatus840(const QByteArray &address,
                                const std::function<void(const QByteArray &)> &decode) {
    return status(address, decode, true);
}

QString Link840::AutoStatus840(const QByteArray &address,
                               const std::function<void(const QByteArray &)> &decode) {
    return status(address, decode, false);
}

QString Link840::status(const QByteArray &address,
                        const std::function<void(const QByteArray &)> &decode, bool logged) {
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
        waitOnPort(m_port, waitMs);
        const QByteArray reply = m_port.InBufferCount() > 0 ? m_port.Input() : QByteArray();
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
    return result;
}

} // namespace talvex::dispenser
