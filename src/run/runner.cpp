#include "run/runner.h"

#include "run/dispenseradapter.h"

#include "contact/contactcommands.h"
#include "link/bodyexchange.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/serialcomm.h"
#include "link/serialerror.h"
#include "magnetic/trackparser.h"
#include "memorycard/memoryoperations.h"
#include "reader/readerreplies.h"
#include "shell/modeltable.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <utility>

namespace talvex::run {

namespace {

// The boxes the link and the decoders raise become the step's "box" field:
// a run without a window shows nothing and waits for nobody.
class RecordedBoxes final : public link::MessageBoxes {
public:
    link::MsgAnswer show(const link::MessageRequest &request) override {
        QString text = request.text;
        text.replace(QLatin1String("\r\n"), QLatin1String(" / "));
        text.replace(QLatin1Char('\n'), QLatin1String(" / "));
        m_texts.append(request.title.isEmpty() ? text : request.title + QLatin1String(": ") + text);
        return link::MsgAnswer::Ok;
    }
    QStringList take() { return std::exchange(m_texts, {}); }

private:
    QStringList m_texts;
};

QString lines(const QString &text) {
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String(" / "));
    return out.trimmed();
}

// Names of the card position and entry codes of the KVR-638 and KVR-690.
QString positionName(char code) {
    switch (code) {
    case 'F':
        return QStringLiteral("long-card");
    case 'H':
        return QStringLiteral("card-at-front");
    case 'I':
        return QStringLiteral("card-at-front-hold");
    case 'J':
        return QStringLiteral("card-inside");
    case 'K':
        return QStringLiteral("card-at-ic");
    case 'L':
        return QStringLiteral("card-at-rear-hold");
    case 'M':
        return QStringLiteral("card-at-rear");
    case 'N':
        return QStringLiteral("no-card");
    default:
        return QString(QLatin1Char(code));
    }
}

QString frontEntryName(char code) {
    switch (code) {
    case 'I':
        return QStringLiteral("magnetic-only");
    case 'J':
        return QStringLiteral("all-cards");
    case 'K':
        return QStringLiteral("by-magnetic-signal");
    case 'N':
        return QStringLiteral("prohibited");
    default:
        return QString(QLatin1Char(code));
    }
}

QString rearEntryName(char code) {
    switch (code) {
    case 'J':
        return QStringLiteral("all-cards");
    case 'N':
        return QStringLiteral("prohibited");
    default:
        return QString(QLatin1Char(code));
    }
}

QString trackStateName(quint8 status) {
    switch (status) {
    case magnetic::kTrackRead:
        return QStringLiteral("ok");
    case magnetic::kTrackError:
        return QStringLiteral("error");
    case magnetic::kTrackNotRead:
        return QStringLiteral("not-read");
    case magnetic::kTrackNoOperation:
        return QStringLiteral("none");
    default:
        return link::byteText(status) + QLatin1Char('h');
    }
}

QString charText(char c) {
    return c == 0 ? QString() : QString(QLatin1Char(c));
}

} // namespace

struct Runner::Context {
    explicit Context(link::SerialComm &port) : state(port) {}
    link::ReaderLinkState state;
    RecordedBoxes boxes;
};

Runner::Runner(const Script &script, Line line)
    : m_script(script), m_line(std::move(line)), m_port(std::make_unique<link::SerialComm>()),
      m_ctx(std::make_unique<Context>(*m_port)) {
    m_port->setCommPort(m_line.port);
    if (m_line.device != DeviceKind::Reader)
        m_dispenser = std::make_unique<DispenserAdapter>(
            *m_port, m_line.device == DeviceKind::Dispenser840, m_line.address);
}

Runner::~Runner() {
    if (&link::messageBoxes() == &m_ctx->boxes)
        link::setMessageBoxes(nullptr);
}

bool Runner::lineLost() const {
    return !m_port->lineTrouble().isEmpty() && m_port->PortOpen();
}

QCoro::Task<int> Runner::run() {
    link::setMessageBoxes(&m_ctx->boxes);
    try {
        co_await runSteps(m_script.steps);
    } catch (const link::Abandoned &) {
        // Only interrupt() abandons a wait here: the run ends with the step
        // it was in.
    }
    if (m_interrupted) {
        StepRecord record;
        if (m_current) {
            record.line = m_current->line;
            record.text = m_current->text;
        }
        record.passed = false;
        record.failure = m_stop;
        m_records.push_back(record);
        if (m_listener)
            m_listener(record);
        m_status = kCheckFailed;
    }
    link::setMessageBoxes(nullptr);
    if (m_port->PortOpen())
        m_port->setPortOpen(false);
    co_return m_status;
}

QCoro::Task<Runner::Outcome> Runner::runSteps(const std::vector<Step> &steps) {
    for (const Step &step : steps) {
        if (m_interrupted)
            co_return Outcome::Stop;
        const Outcome outcome = co_await runStep(step);
        if (outcome == Outcome::Stop)
            co_return Outcome::Stop;
    }
    co_return Outcome::Go;
}

QCoro::Task<Runner::Outcome> Runner::runStep(const Step &step) {
    if (step.kind == StepKind::Repeat) {
        for (int i = 0; i < step.count; ++i) {
            const Outcome outcome = co_await runSteps(step.steps);
            if (outcome == Outcome::Stop)
                co_return Outcome::Stop;
        }
        co_return Outcome::Go;
    }

    m_current = &step;
    StepRecord record;
    record.line = step.line;
    record.text = step.text;
    QElapsedTimer timer;
    timer.start();
    bool stop = false;
    switch (step.kind) {
    case StepKind::Open:
        try {
            m_port->setSettings(QStringLiteral("%1,n,8,1").arg(m_line.baud));
            m_port->setPortOpen(true);
            m_ctx->state.setPortSetUp(true);
            record.output = QStringLiteral("line open at %1 bit/s").arg(m_line.baud);
        } catch (const link::SerialError &error) {
            record.passed = false;
            record.failure = QStringLiteral("cannot open the line: %1").arg(error.what());
            m_status = kScriptOrPortError;
            stop = true;
        }
        break;
    case StepKind::Close:
        m_ctx->state.setPortSetUp(false);
        if (m_port->PortOpen())
            m_port->setPortOpen(false);
        record.output = QStringLiteral("line closed");
        break;
    case StepKind::Wait:
        if (m_port->PortOpen())
            co_await link::DelayMs(*m_port, step.ms);
        else
            co_await m_port->pause(step.ms);
        record.output = QStringLiteral("%1 ms").arg(step.ms);
        break;
    case StepKind::Model:
        m_model = step.model;
        record.output = QStringLiteral("model %1").arg(m_model);
        break;
    case StepKind::Expect: {
        QString failure;
        record.passed = judge(step, failure);
        record.failure = failure;
        record.output = record.passed ? QStringLiteral("held") : failure;
        break;
    }
    case StepKind::Dispenser: {
        const bool ok = co_await dispenserStep(step);
        record.passed = ok;
        break;
    }
    default: {
        const bool ok = co_await readerStep(step);
        record.passed = ok;
        break;
    }
    }

    if (step.kind == StepKind::Detect || step.kind == StepKind::Reader ||
        step.kind == StepKind::Send || step.kind == StepKind::Dispenser) {
        const QStringList boxes = m_ctx->boxes.take();
        if (!boxes.isEmpty())
            m_fields[QStringLiteral("box")] = boxes.join(QLatin1String(" | "));
        QStringList shown;
        for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it) {
            // The raw reply is there for expectations; the decoded fields say it.
            if (it.key() == QLatin1String("reply-hex") ||
                (it.key() == QLatin1String("reply") && m_fields.size() > 3))
                continue;
            if (!it.value().isEmpty())
                shown << QStringLiteral("%1=%2").arg(it.key(), it.value());
        }
        record.output = shown.join(QLatin1String("  "));
        if (m_traffic) {
            const QString log = m_dispenser ? m_dispenser->trafficLog() : m_ctx->state.trafficLog();
            if (!log.isEmpty())
                m_traffic(log);
        }
        if (lineLost()) {
            record.passed = false;
            record.failure = QStringLiteral("the device went away: %1").arg(m_port->lineTrouble());
            stop = true;
        } else if (!record.passed) {
            record.failure = QStringLiteral("no answer (%1)")
                                 .arg(m_fields.value(QStringLiteral("box"),
                                                     m_fields.value(QStringLiteral("word"))));
        }
    }
    record.ms = timer.elapsed();
    if (!record.passed && m_status == kAllHeld)
        m_status = kCheckFailed;
    if (stop)
        m_stop = record.failure;
    m_records.push_back(record);
    if (m_listener)
        m_listener(record);
    co_return stop ? Outcome::Stop : Outcome::Go;
}

void Runner::interrupt(const QString &reason) {
    if (m_interrupted)
        return;
    m_interrupted = true;
    m_stop = reason;
    m_port->abandonWait();
}

QCoro::Task<bool> Runner::exchange(QByteArray body) {
    const QByteArray frame = link::buildReaderFrame(body);
    QByteArray reply = link::newReplyBuffer();
    qint16 length = 0;
    const link::ReplyStatus status =
        co_await link::SendReaderCommand(m_ctx->state, frame, int(frame.size()), reply, length);
    m_reply = reply;
    m_replyLength = status == link::kReplyFailed ? 0 : length;
    const QByteArray body2 = reply.left(qMax(0, m_replyLength - 2));
    m_fields[QStringLiteral("exchange")] = status == link::kReplyOk ? QStringLiteral("ok")
                                           : status == link::kReplyNegative
                                               ? QStringLiteral("negative")
                                               : QStringLiteral("failed");
    m_fields[QStringLiteral("reply")] = QString::fromLatin1(body2);
    m_fields[QStringLiteral("reply-hex")] = link::bytesText(body2).trimmed();
    co_return status != link::kReplyFailed;
}

QCoro::Task<bool> Runner::readerStep(const Step &step) {
    m_fields.clear();
    if (step.kind == StepKind::Send)
        co_return co_await exchange(step.body);

    if (step.kind == StepKind::Detect) {
        const bool ok = co_await exchange(QByteArrayLiteral("00"));
        if (ok && m_replyLength > 0) {
            const QString data = reader::resetReplyText(m_reply, m_replyLength);
            for (const auto &key : shell::modelKeysFound(data))
                m_model = key.name;
            m_fields[QStringLiteral("text")] = data;
        }
        m_fields[QStringLiteral("model")] = m_model;
        co_return ok;
    }

    QByteArray body = step.body;
    switch (step.readerOp) {
    case ReaderOp::Reset:
        // The KVR-416 and KVR-523 know only the plain reset.
        body = QByteArray("0") +
               ((m_model == QLatin1String("KVR-416") || m_model == QLatin1String("KVR-523"))
                    ? '0'
                    : step.pm);
        break;
    case ReaderOp::Apdu:
        body = contact::slotApduBody(contact::protocolFlags().slotCard, step.data);
        break;
    case ReaderOp::RfRead: {
        const bool checked = co_await exchange(step.keyCheck);
        if (!checked)
            co_return false;
        const char key = reader::replyByte(m_reply, 3);
        if (m_fields.value(QStringLiteral("exchange")) != QLatin1String("ok") || key != 'Y') {
            m_fields[QStringLiteral("result")] = charText(key);
            m_fields[QStringLiteral("text")] = QStringLiteral("key check refused");
            co_return true;
        }
        m_fields.clear();
        break;
    }
    default:
        break;
    }

    const bool ok = co_await exchange(body);
    if (!ok || m_replyLength == 0 ||
        m_fields.value(QStringLiteral("exchange")) != QLatin1String("ok"))
        co_return ok;

    const QByteArray &r = m_reply;
    const int len = m_replyLength;
    switch (step.readerOp) {
    case ReaderOp::Reset:
        m_fields[QStringLiteral("text")] = reader::resetReplyText(r, len);
        break;
    case ReaderOp::Status: {
        const char b2 = reader::replyByte(r, 2);
        const char b3 = reader::replyByte(r, 3);
        const bool motorised =
            m_model == QLatin1String("KVR-638") || m_model == QLatin1String("KVR-690");
        m_fields[QStringLiteral("status")] = motorised ? positionName(b2) : charText(b2);
        m_fields[QStringLiteral("entry")] = motorised ? frontEntryName(b3) : charText(b3);
        if (m_model == QLatin1String("KVR-690"))
            m_fields[QStringLiteral("rear")] = rearEntryName(reader::replyByte(r, 4));
        if (const auto box = reader::statusBox(m_model, r))
            m_fields[QStringLiteral("text")] = lines(box->text);
        break;
    }
    case ReaderOp::Sensors:
        m_fields[QStringLiteral("sensors")] = QString::fromLatin1(r.mid(2, qMax(0, len - 4)));
        break;
    case ReaderOp::ReadTracks: {
        magnetic::TrackSections sections;
        if (!magnetic::parseTrackReply(r, len, sections))
            break;
        for (int t = 0; t < 3; ++t) {
            const QString name = QStringLiteral("track%1").arg(t + 1);
            m_fields[name] = trackStateName(sections[t].status);
            if (sections[t].status == magnetic::kTrackRead)
                m_fields[name + QLatin1String("-data")] = QString::fromLatin1(sections[t].data);
            else if (sections[t].status == magnetic::kTrackError)
                m_fields[name + QLatin1String("-data")] =
                    magnetic::trackErrorDetail(sections[t].errorCode());
        }
        break;
    }
    case ReaderOp::CardType: {
        const char c = reader::replyByte(r, 2);
        const char s = reader::replyByte(r, 3);
        m_fields[QStringLiteral("result")] = charText(c) + charText(s);
        if (const auto *row = reader::findCardType(c, s))
            m_fields[QStringLiteral("card-type")] = QString::fromUtf8(row->message).trimmed();
        break;
    }
    case ReaderOp::RfRead: {
        const char status = reader::replyByte(r, 4);
        m_fields[QStringLiteral("result")] = charText(status);
        if (status == 'Y')
            m_fields[QStringLiteral("data")] =
                link::bytesText(r.mid(5, 16)).remove(QLatin1Char(' '));
        break;
    }
    case ReaderOp::Apdu: {
        const char status = reader::replyByte(r, 2);
        m_fields[QStringLiteral("result")] = charText(status);
        if (status == 'Y') {
            const QString response = link::replyHex(r.left(len), 5);
            m_fields[QStringLiteral("response")] = response;
            m_fields[QStringLiteral("sw")] = response.right(4);
        }
        break;
    }
    case ReaderOp::CpuReset: {
        const char status = reader::replyByte(r, 2);
        m_fields[QStringLiteral("result")] = charText(status);
        if (status == 'Y' || status == 'Z') {
            contact::protocolFlags().slotCard = status == 'Z' ? 1 : 0;
            m_fields[QStringLiteral("atr")] = link::replyHex(r.left(len), 5);
        }
        break;
    }
    case ReaderOp::MemRead:
    case ReaderOp::MemWrite: {
        const auto *op = memorycard::findOperation(step.readerOp == ReaderOp::MemRead
                                                       ? QStringLiteral("IC24XXREAD")
                                                       : QStringLiteral("IC24XXWRITE"));
        const char status = reader::replyByte(r, op->statusIndex);
        m_fields[QStringLiteral("result")] = charText(status);
        if (status == 'Y' && step.readerOp == ReaderOp::MemRead)
            m_fields[QStringLiteral("data")] =
                link::bytesText(memorycard::replyData(*op, r, len)).remove(QLatin1Char(' '));
        break;
    }
    }
    co_return true;
}

QCoro::Task<bool> Runner::dispenserStep(const Step &step) {
    m_fields.clear();
    DispenserReply reply;
    switch (step.dispenserOp) {
    case DispenserOp::Status:
        reply = co_await m_dispenser->status();
        break;
    case DispenserOp::Reset:
        reply = co_await m_dispenser->command(QByteArrayLiteral("RS"));
        break;
    case DispenserOp::Dispense:
        reply = co_await m_dispenser->command(QByteArrayLiteral("DC"));
        break;
    case DispenserOp::DispenseDoor:
        reply = co_await m_dispenser->command(QByteArrayLiteral("FC0"));
        break;
    case DispenserOp::Capture:
        reply = co_await m_dispenser->command(QByteArrayLiteral("CP"));
        break;
    }
    m_fields[QStringLiteral("word")] = reply.word;
    if (!reply.status.isEmpty()) {
        m_fields[QStringLiteral("state")] = QString::fromLatin1(reply.status);
        m_fields[QStringLiteral("text")] = reply.texts.join(QLatin1String(" / "));
    }
    if (reply.portError != 0)
        m_fields[QStringLiteral("box")] = QStringLiteral("run-time error %1").arg(reply.portError);
    // "ERROR" is no answer at all; "ERROR1" is the dispenser refusing.
    co_return reply.word != QLatin1String("ERROR");
}

bool Runner::judge(const Step &step, QString &failure) const {
    const bool present = m_fields.contains(step.field);
    const QString came = m_fields.value(step.field);
    bool held = false;
    switch (step.op) {
    case ExpectOp::Equal:
        held = present && came == step.value;
        break;
    case ExpectOp::NotEqual:
        held = present && came != step.value;
        break;
    case ExpectOp::Matches:
        held = present && QRegularExpression(step.value).match(came).hasMatch();
        break;
    }
    if (!held)
        failure = QStringLiteral("expected %1, came %2")
                      .arg(describeExpect(step),
                           present ? QStringLiteral("\"%1\"").arg(came)
                                   : QStringLiteral("no %1 in the last reply").arg(step.field));
    return held;
}

QString describeExpect(const Step &step) {
    const char *op = step.op == ExpectOp::Equal ? "=" : step.op == ExpectOp::NotEqual ? "!=" : "~";
    return QStringLiteral("%1 %2 \"%3\"").arg(step.field, QLatin1String(op), step.value);
}

} // namespace talvex::run
