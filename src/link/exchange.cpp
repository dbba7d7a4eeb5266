#include "exchange.h"

#include "busywait.h"
#include "clock.h"
#include "frame.h"
#include "journal.h"
#include "messages.h"
#include "replycodes.h"
#include "serialcomm.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace talvex::link {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

enum class Ending {
    Reply,    // a complete reply frame was received and judged
    NoAnswer, // nothing, a wrong answer, or too little in time: the user must check the line
    Fault,    // the port refused an operation, or the reply does not fit the caller's buffer
};

// Collects what crossed the line, so that the log can be written in one go
// when the exchange ends for want of an answer or with a complete reply.
class Transcript {
public:
    void sent(const QByteArray &bytes) {
        m_sent = bytes;
        m_wasSent = true;
    }
    void answered(quint8 byte) { m_answer = byte; }
    void enquired() { m_enquired = true; }
    void header(const QByteArray &bytes) { m_header = bytes; }
    void rest(const QByteArray &bytes) {
        m_rest = bytes;
        m_complete = true;
    }

    void writeTo(ReaderLinkContext &ctx) const {
        QString text;
        if (m_wasSent)
            text += sentLine(m_sent);
        if (m_answer)
            text += answerLine(*m_answer);
        if (m_enquired)
            text += enqLine();
        if (!m_header.isEmpty())
            text += replyLine(m_header + m_rest);
        if (m_complete)
            text += kLineEnd; // the empty line between exchanges
        if (!text.isEmpty())
            ctx.appendTrafficLog(text);
    }

    // The same bytes for the journal; nothing when nothing was sent.
    void journalTo(ReaderLinkContext &ctx, qint64 sentAtMs, qint64 elapsedMs) const {
        if (!m_wasSent || !journal().listening())
            return;
        ExchangeRecord record;
        record.time = QDateTime::fromMSecsSinceEpoch(sentAtMs);
        record.kind = LineKind::Reader;
        record.port = QStringLiteral("COM%1").arg(ctx.readerPort().CommPort());
        record.model = journal().readerModel();
        record.sent = m_sent;
        if (m_answer)
            record.answer = QByteArray(1, static_cast<char>(*m_answer));
        record.reply = m_header + m_rest;
        record.elapsedMs = elapsedMs;
        journal().record(record);
    }

private:
    QByteArray m_sent;
    bool m_wasSent = false;
    std::optional<quint8> m_answer;
    bool m_enquired = false;
    QByteArray m_header;
    QByteArray m_rest;
    bool m_complete = false;
};

class ReaderExchange {
public:
    explicit ReaderExchange(ReaderLinkContext &ctx)
        : m_ctx(ctx), m_clock(clock()), m_start(m_clock.nowMs()) {}

    QCoro::Task<Ending> run(QByteArray frame, int count, QByteArray &reply, qint16 &replyLength);

    ReplyStatus result() const { return m_result; }
    void recordInJournal() const {
        m_transcript.journalTo(m_ctx, m_sentAtMs, m_clock.nowMs() - m_start);
    }
    // Before any message box: the user reads it with the ordinary cursor.
    void endWaiting() { m_waiting.end(); }

private:
    Ending noAnswer() {
        stopTiming();
        m_result = kReplyFailed;
        m_transcript.writeTo(m_ctx);
        return Ending::NoAnswer;
    }
    void stopTiming() {
        m_ctx.setExchangeTime(QString::number(m_clock.nowMs() - m_start));
        endWaiting();
    }

    ReaderLinkContext &m_ctx;
    Clock &m_clock;
    qint64 m_start;
    qint64 m_sentAtMs = 0; // since the epoch; made a local time only for the journal
    Transcript m_transcript;
    ReplyStatus m_result = kReplyOk;
    BusyStretch m_waiting;
};

QCoro::Task<Ending> ReaderExchange::run(QByteArray frame, int count, QByteArray &reply,
                                        qint16 &replyLength) {
    SerialComm &port = m_ctx.readerPort();

    // A late answer to an earlier command must not pass for this one's.
    port.setInBufferCount(0);
    port.setOutBufferCount(0);
    port.setInputLen(1);

    if (count < 0 || count > frame.size())
        co_return Ending::Fault;
    const QByteArray send = frame.left(count);
    m_start = m_clock.nowMs();
    m_sentAtMs = QDateTime::currentMSecsSinceEpoch();
    port.setOutput(send);
    m_transcript.sent(send);

    const bool answered = co_await port.waitForInBufferCount(1, m_clock.nowMs() + kAckLimitMs);
    if (!answered)
        co_return noAnswer();
    const QByteArray answer = port.Input();
    if (answer.isEmpty())
        co_return noAnswer();
    m_transcript.answered(static_cast<quint8>(answer.at(0)));
    // A NAK or anything else ends the exchange: the reader gets no retry.
    if (static_cast<quint8>(answer.at(0)) != ACK)
        co_return noAnswer();

    port.setOutput(QByteArray(1, static_cast<char>(ENQ)));
    m_transcript.enquired();
    port.setInputLen(3);
    const bool headed = co_await port.waitForInBufferCount(3, m_clock.nowMs() + kHeaderLimitMs);
    if (!headed)
        co_return noAnswer();
    const QByteArray header = port.Input();
    if (header.size() < 3)
        co_return noAnswer();
    m_transcript.header(header);

    const int need =
        static_cast<quint8>(header.at(1)) * 256 + static_cast<quint8>(header.at(2)) + 2;

    port.setInputLen(0);
    const bool complete = co_await port.waitForInBufferCount(need, m_clock.nowMs() + kRestLimitMs);
    if (!complete)
        co_return noAnswer();
    // Bytes beyond the announced length belong to the reply as far as they
    // were waiting when counted; the last of them is taken as the BCC.
    const int waiting = port.InBufferCount();
    QByteArray rest = port.Input();
    if (rest.size() > waiting)
        rest.truncate(waiting);
    const qsizetype received = rest.size();
    if (received < 2)
        co_return noAnswer();

    stopTiming();
    m_transcript.rest(rest);
    m_transcript.writeTo(m_ctx);

    if (!replyBccMatches(header, rest)) {
        m_result = kReplyFailed;
        co_return Ending::Reply;
    }

    // The caller's buffer has a fixed size; a reply that does not fit is a
    // fault, and neither buffer nor length are touched.
    if (received > reply.size() || received > std::numeric_limits<qint16>::max())
        co_return Ending::Fault;
    std::copy(rest.cbegin(), rest.cend(), reply.begin());
    replyLength = static_cast<qint16>(received);

    if (rest.at(0) == 'N') {
        m_result = kReplyNegative;
        // The error code is the third body byte; a reply too short to carry
        // one leaves whatever the caller's buffer held there.
        ShowReaderError(reply.size() > 2 ? static_cast<quint8>(reply.at(2)) : 0x03);
    }
    co_return Ending::Reply;
}

} // namespace

namespace {

// A traffic line: the prefix, then each byte's digits and a blank; after the
// firstLine-th byte and every further 25 a line break and indent blanks.
QString wrappedLine(const QString &prefix, const QByteArray &bytes, int firstLine, int indent) {
    QString line = prefix;
    const QString continuation = kLineEnd + QString(indent, QLatin1Char(' '));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        line += byteText(static_cast<quint8>(bytes.at(i)));
        line += QLatin1Char(' ');
        const qsizetype position = i + 1;
        if (position >= firstLine && (position - firstLine) % 25 == 0)
            line += continuation;
    }
    return line + kLineEnd;
}

} // namespace

QString sentLine(const QByteArray &bytes) {
    // "SD: " takes the place of one byte on the first line.
    return wrappedLine(QStringLiteral("SD: "), bytes, 24, 7);
}

QString answerLine(quint8 byte) {
    return QStringLiteral("RD: ") + byteText(byte) + kLineEnd;
}

QString enqLine() {
    return QStringLiteral("SD: 05") + kLineEnd;
}

QString replyLine(const QByteArray &headerAndRest) {
    return wrappedLine(QStringLiteral("RD: "), headerAndRest, 25, 8);
}

QCoro::Task<ReplyStatus> SendReaderCommand(ReaderLinkContext &ctx, QByteArray frame, int count,
                                           QByteArray &reply, qint16 &replyLength) {
    ctx.setExchangeTime(QStringLiteral("0"));
    if (!ctx.portSetUp()) {
        showCaution(text::PortSetupFirst);
        co_return kReplyFailed;
    }

    if (!ctx.keepTrafficLog())
        ctx.clearTrafficLog();

    ReaderExchange exchange(ctx);
    Ending ending;
    try {
        ending = co_await exchange.run(frame, count, reply, replyLength);
    } catch (const std::exception &) {
        // A port operation the component refused, a line that went away
        // included: what crossed the line so far is not logged, and the
        // component's own account of the line tells the user the cause.
        ending = Ending::Fault;
    }
    exchange.endWaiting();
    exchange.recordInJournal();

    if (ctx.recordingToFile())
        ctx.appendRecord(ctx.trafficLog());

    if (ending == Ending::NoAnswer)
        showCommunicationError();
    else if (ending == Ending::Fault)
        showCaution(text::DataNotEffective);
    co_return exchange.result();
}

} // namespace talvex::link
