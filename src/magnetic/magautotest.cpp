// The automatic magnetic test: window timers chain one step to the next, and
// each step drives the reader's port itself and logs every byte to the day's
// "MagAuto" file.

#include "labelcount.h"
#include "magautolog.h"
#include "magnetictab.h"

#include "link/busywait.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/recordfile.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "reader/readerwindow.h"
#include "reader/readingmethod.h"
#include "ui/seams.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace talvex::magnetic {
namespace {

constexpr int kPollMs = 100;
constexpr int kPollAfterNakMs = 1500;
constexpr int kAnswerLimitMs = 5000;
constexpr int kStatusLimitMs = 4000;
constexpr quint8 EOT = 0x04;
// How long one look of the uploading watch awaits the reader's bytes before
// it checks the target again.
constexpr int kUploadLookMs = 500;

quint8 at(const QByteArray &bytes, qsizetype i) {
    return i < bytes.size() ? quint8(bytes.at(i)) : 0;
}

bool frameBccMatches(const QByteArray &frame) {
    return frame.size() >= 2 && link::ReaderBcc(frame) == quint8(frame.back());
}

// The whole part of the leading number of a text ("12abc" 12, "3.7" 3, "x" 0),
// as the target has always been read. Digits beyond what 64 bits hold keep
// the number at its limit: a very large target is still above zero.
qint64 leadingWholeNumber(const QString &text) {
    const QString t = text.trimmed();
    qsizetype at = 0;
    const bool negative = at < t.size() && t.at(at) == QLatin1Char('-');
    if (at < t.size() && (t.at(at) == QLatin1Char('-') || t.at(at) == QLatin1Char('+')))
        ++at;
    qint64 value = 0;
    for (; at < t.size() && t.at(at) >= QLatin1Char('0') && t.at(at) <= QLatin1Char('9'); ++at) {
        const int digit = t.at(at).digitValue();
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10) {
            value = std::numeric_limits<qint64>::max();
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// The port steps every part of the test shares, awaited on the reader's
// line. Throws link::SerialError when the line is gone. A wait that drags on
// shows the wait cursor; it is over before any message box of the step.
class DirectLine {
public:
    explicit DirectLine(link::SerialComm &port) : m_port(port) {}

    void send(const QByteArray &bytes) {
        m_port.setInBufferCount(0);
        m_port.setOutput(bytes);
    }
    void sendByte(quint8 byte) { m_port.setOutput(QByteArray(1, char(byte))); }
    QCoro::Task<std::optional<quint8>> waitByte(int limitMs) {
        const link::BusyStretch waiting;
        m_port.setInputLen(1);
        const bool arrived =
            co_await m_port.waitForInBufferCount(1, link::clock().nowMs() + limitMs);
        if (!arrived)
            co_return std::nullopt;
        const QByteArray byte = m_port.Input();
        if (byte.isEmpty())
            co_return std::nullopt;
        co_return quint8(byte.at(0));
    }
    // Everything waiting once count bytes are there or the limit passed.
    QCoro::Task<QByteArray> waitBytes(int count, int limitMs) {
        const link::BusyStretch waiting;
        m_port.setInputLen(0);
        co_await m_port.waitForInBufferCount(count, link::clock().nowMs() + limitMs);
        co_return m_port.Input();
    }
    // A reader frame: its header within headerMs, the rest within restMs.
    // What arrived, complete or not, and whether it is complete.
    struct Frame {
        QByteArray bytes;
        bool complete = false;
    };
    QCoro::Task<Frame> readFrame(int headerMs, int restMs) {
        const link::BusyStretch waiting;
        Frame frame;
        m_port.setInputLen(3);
        const bool header =
            co_await m_port.waitForInBufferCount(3, link::clock().nowMs() + headerMs);
        if (!header)
            co_return frame;
        frame.bytes = m_port.Input();
        if (frame.bytes.size() < 3)
            co_return frame;
        const int need = at(frame.bytes, 1) * 256 + at(frame.bytes, 2) + 2;
        m_port.setInputLen(0);
        frame.complete = co_await m_port.waitForInBufferCount(need, link::clock().nowMs() + restMs);
        frame.bytes += m_port.Input();
        co_return frame;
    }

private:
    link::SerialComm &m_port;
};

} // namespace

void MagneticTab::startLog() {
    // A new run replaces the day's file; the lines after it are appended.
    const QString lineEnd = QStringLiteral("\r\n");
    noteFileWrite(link::writeTextFile(link::magAutoLogPath(),
                                      magLogHeader(model()) + lineEnd + lineEnd + lineEnd,
                                      link::WriteMode::Replace));
}

void MagneticTab::log(const QString &line) {
    noteFileWrite(link::AppendMagAutoLog(line));
}

void MagneticTab::noteFileWrite(const link::FileWrite &write) {
    if (m_hooks.noteFileWrite)
        m_hooks.noteFileWrite(write);
}

QCoro::Task<> MagneticTab::RCommand_Click() {
    const QString current = model();
    if (current.isEmpty()) {
        link::showCaution(link::text::PortSetupFirst);
        co_return;
    }
    if (m_hooks.setReaderControlEnabled)
        m_hooks.setReaderControlEnabled(false);
    startLog();

    m_lastStatus = 0;
    m_pollCount = 0;
    m_quiet = false;
    m_chatterLogged = 0;
    m_chatterCutNoted = false;
    MCleartrack_Click();
    m_readNumLabel->setText(QStringLiteral("0"));
    m_errNumLabel->setText(QStringLiteral("0"));
    m_rate->setText(QStringLiteral("0"));

    m_target = leadingWholeNumber(m_lianXuText->text());
    if (m_target < 1) {
        if (m_hooks.setReaderControlEnabled)
            m_hooks.setReaderControlEnabled(true);
        link::showCaution(QStringLiteral("The Value should > 0"));
        co_return;
    }
    if (m_hooks.stopRecordingToFile)
        m_hooks.stopRecordingToFile();
    m_lianXuText->setEnabled(false);
    m_openMagFileBtn->setEnabled(false);

    if (current == QLatin1String("KVR-690")) {
        lockWindowForTest();
        const bool entered = co_await prepareEntryControl('0');
        if (entered)
            co_await prepareStopPosition();
    } else if (current == QLatin1String("KVR-634")) {
        lockWindowForTest();
        pollAgainAfter(kPollMs);
    } else if (current == QLatin1String("KVR-638")) {
        lockWindowForTest();
        const bool entered = co_await prepareEntryControl('1');
        if (entered)
            pollAgainAfter(kPollMs);
    } else if (current == QLatin1String("KVR-523")) {
        lockWindowForTest();
        co_await prepareReadingMethod();
        m_timer523a->setInterval(1);
        m_timer523a->start();
    } else {
        if (m_hooks.setReaderControlEnabled)
            m_hooks.setReaderControlEnabled(true);
        // Nothing runs: the target and the log button are the user's again.
        m_lianXuText->setEnabled(true);
        m_openMagFileBtn->setEnabled(true);
        link::showCaution(QStringLiteral("No Function of Continuous Testing on This Model"));
    }
}

void MagneticTab::lockWindowForTest() {
    m_running = true;
    if (m_hooks.lockForAutoTest)
        m_hooks.lockForAutoTest();
    m_rCommand->setEnabled(false);
    m_rsCommand->setEnabled(true);
}

void MagneticTab::stopAutoTest() {
    // The step that waits on the line (a poll, the uploading watch) is the
    // test's own: it is given up, and the stop runs at once.
    if (m_operations.running())
        m_reader.readerPort().abandonWait();
    startClick(&MagneticTab::RsCommand_Click);
}

QCoro::Task<> MagneticTab::RsCommand_Click() {
    for (QTimer *timer :
         {m_readTrackTime, m_timera, m_timer634a, m_timer634b, m_timer523a, m_timer523b})
        timer->stop();
    if (m_pollCount != 0)
        log(magSameTimesLine(m_pollCount));
    m_rCommand->setEnabled(true);
    m_rsCommand->setEnabled(false);
    if (model() == QLatin1String("KVR-523")) {
        if (m_readCardType523->isChecked()) {
            const QSignalBlocker quiet(m_readCardType523);
            m_readCardType523->setChecked(false);
        }
        // A line that hung up gets no dialog and no command: the status line
        // says the line is gone.
        link::SerialComm &line = m_reader.readerPort();
        bool lineGone = false;
        try {
            line.InBufferCount();
        } catch (const link::SerialError &) {
            lineGone = true;
        }
        if (lineGone)
            m_reader.showStatus(line.lineTrouble());
        else
            co_await setMethodOfReading('1');
    }
    if (m_hooks.unlockAfterAutoTest)
        m_hooks.unlockAfterAutoTest();
    m_lianXuText->setEnabled(true);
    m_openMagFileBtn->setEnabled(true);
    m_running = false;
}

void MagneticTab::ReadCardType523_Click() {
    if (m_readCardType523->isChecked()) {
        startClick(&MagneticTab::RCommand_Click);
    } else if (m_running) {
        stopAutoTest();
    } else {
        sendReadingMethod('1');
    }
}

void MagneticTab::OpenMagFileBtn_Click() {
    ui::openTextFileInEditor(this, link::recordFolder(), QStringLiteral("MagAuto*.TXT"));
}

void MagneticTab::pollAgainAfter(int ms) {
    m_timera->setInterval(ms);
    m_timera->start();
}

QCoro::Task<> MagneticTab::failStep() {
    link::showCommunicationError();
    log(QString());
    co_await RsCommand_Click();
}

// One preparation exchange on the port: the frame, ACK, ENQ, then the reply
// frame (minReplyBytes of it within replyLimitMs). Logs every frame. Returns
// the whole reply frame when it arrived; the caller judges it.
QCoro::Task<std::optional<QByteArray>> MagneticTab::directExchange(QByteArray body,
                                                                   int delayAfterEnqMs,
                                                                   int minReplyBytes,
                                                                   int replyLimitMs) {
    // Started by a click: the whole exchange counts, DelayMs included.
    const link::BusyStretch waiting;
    DirectLine line(m_reader.readerPort());
    const QByteArray frame = link::buildReaderFrame(body);
    line.send(frame);
    log(magSentLine(frame));
    const std::optional<quint8> answer = co_await line.waitByte(link::kAckLimitMs);
    if (!answer)
        co_return std::nullopt;
    log(magReceivedLine(QByteArray(1, char(*answer))));
    if (*answer != link::ACK)
        co_return std::nullopt;
    line.sendByte(link::ENQ);
    log(magEnquiryLine());
    if (delayAfterEnqMs > 0)
        co_await link::DelayMs(m_reader.readerPort(), delayAfterEnqMs);
    bool complete = false;
    QByteArray reply;
    if (minReplyBytes > 0) {
        reply = co_await line.waitBytes(minReplyBytes, replyLimitMs);
        complete = reply.size() >= minReplyBytes;
    } else {
        const DirectLine::Frame got =
            co_await line.readFrame(link::kHeaderLimitMs, link::kRestLimitMs);
        reply = got.bytes;
        complete = got.complete;
    }
    if (!reply.isEmpty())
        log(magReceivedLine(reply));
    if (!complete || !frameBccMatches(reply))
        co_return std::nullopt;
    co_return reply;
}

QCoro::Task<bool> MagneticTab::prepareEntryControl(char rear) {
    std::optional<QByteArray> reply;
    try {
        reply = co_await directExchange(QByteArray("/2") + rear, 500, 0, 0);
    } catch (const link::SerialError &) {
        reply.reset();
    }
    if (!reply) {
        co_await failStep();
        co_return false;
    }
    co_return true;
}

QCoro::Task<> MagneticTab::prepareStopPosition() {
    std::optional<QByteArray> reply;
    try {
        reply = co_await directExchange(QByteArrayLiteral(".2"), 0, 8, kAnswerLimitMs);
    } catch (const link::SerialError &) {
        reply.reset();
    }
    if (!reply) {
        co_await failStep();
        co_return;
    }
    // Frame byte 3 is the first body byte, byte 5 the result (or error code).
    if (at(*reply, 3) == 'N') {
        link::ShowReaderError(at(*reply, 5));
    } else if (at(*reply, 5) != 'Y') {
        link::showMessage(QStringLiteral("Card stop position setting failed"),
                          QStringLiteral("Auto test"), link::MsgIcon::Information);
    } else {
        pollAgainAfter(kPollMs);
        co_return;
    }
    log(QString());
    co_await RsCommand_Click();
}

QCoro::Task<> MagneticTab::prepareReadingMethod() {
    const std::optional<char> method = reader::askReadingMethod(this);
    if (!method)
        co_return;
    const char mode = modeByte();
    std::optional<QByteArray> reply;
    try {
        reply = co_await directExchange(
            reader::readingMethodBody(mode, '0', trackCodeByte(), *method), 0, 0, 0);
    } catch (const link::SerialError &) {
        reply.reset();
    }
    if (!reply) {
        link::showCommunicationError();
        log(QString());
        co_return;
    }
    // Reply byte 6, frame byte 9: the result.
    if (at(*reply, 3) == 'N') {
        link::ShowReaderError(at(*reply, 5));
    } else if (at(*reply, 9) == 'Y') {
        setReadTrackControlsEnabled(false);
    } else if (at(*reply, 9) == 'N') {
        link::showMessage(QStringLiteral("Set the Method of Reading Error"),
                          QStringLiteral("Set the Method of Reading"), link::MsgIcon::Information);
    }
}

QCoro::Task<> MagneticTab::Timera_Timer() {
    m_timera->stop();
    m_timer634a->stop();
    if (labelNumberOf(m_readNumLabel) >= m_target) {
        co_await RsCommand_Click();
        co_return;
    }
    bool lineFailed = false;
    try {
        DirectLine line(m_reader.readerPort());
        const QByteArray frame = link::buildReaderFrame(QByteArrayLiteral("10"));
        line.send(frame);
        const bool logNow = !m_quiet && m_pollCount == 0;
        QString pollText = magSentLine(frame);
        if (logNow)
            log(pollText);

        const std::optional<quint8> answer = co_await line.waitByte(kAnswerLimitMs);
        if (answer == link::NAK) {
            pollAgainAfter(kPollAfterNakMs);
            co_return;
        }
        if (answer != link::ACK) {
            log(QString());
            pollAgainAfter(kPollMs);
            co_return;
        }
        line.sendByte(link::ENQ);
        pollText += QStringLiteral("\r\n") + magEnquiryLine();
        if (logNow)
            log(magEnquiryLine());

        const int need = model() == QLatin1String("KVR-634") ? 9 : 10;
        const QByteArray status = co_await line.waitBytes(need, kStatusLimitMs);
        if (status.size() < need) {
            log(QString());
            pollAgainAfter(at(status, 0) == link::NAK ? kPollAfterNakMs : kPollMs);
            co_return;
        }
        const QString received = magReceivedLine(status);
        pollText += QStringLiteral("\r\n") + received;
        const quint8 code = at(status, 5);
        if (logNow) {
            log(received);
            m_lastStatus = code;
        }

        ++m_pollCount;
        if (code != m_lastStatus) {
            if (m_lastStatus != 'J')
                log(magSameTimesLine(m_pollCount - 1));
            m_quiet = false;
            m_lastStatus = 0;
            m_pollCount = 0;
            log(pollText + QStringLiteral("\r\n"));
        } else {
            m_quiet = true;
        }
        m_lastStatus = code;

        if (!frameBccMatches(status)) {
            log(QString());
            pollAgainAfter(kPollMs);
            co_return;
        }
        if (m_running && (code == 'K' || code == 'J' || code == 'Y')) {
            if (code == 'J' && m_pollCount == 1)
                log(QString());
            clearTrackDisplay();
            m_timer634a->setInterval(1);
            m_timer634a->start();
        } else {
            pollAgainAfter(kPollMs);
        }
    } catch (const link::SerialError &) {
        lineFailed = true;
    }
    if (lineFailed)
        co_await failStep();
}

QCoro::Task<> MagneticTab::Timer634a_Timer() {
    m_timer634a->stop();
    m_timer634b->stop();
    if (!m_reader.portSetUp()) {
        link::showCaution(link::text::PortSetupFirst);
        co_return;
    }
    try {
        DirectLine line(m_reader.readerPort());
        const QByteArray frame = link::buildReaderFrame(readCommandBody());
        line.send(frame);
        log(magSentLine(frame));
        const std::optional<quint8> answer = co_await line.waitByte(kAnswerLimitMs);
        if (!answer) {
            link::showCommunicationError();
            log(QString());
            co_return;
        }
        log(magReceivedLine(QByteArray(1, char(*answer))));
        if (*answer != link::ACK) {
            log(QString());
            co_return;
        }
        line.sendByte(link::ENQ);
        log(magEnquiryLine());
        clearTrackDisplay();
        m_timer634b->setInterval(1);
        m_timer634b->start();
    } catch (const link::SerialError &) {
        link::showCommunicationError();
        log(QString());
    }
}

// Whether a read counts as an error: any track said "N", or the reply
// carried no track sections at all (an empty body is no good read).
bool MagneticTab::judgeAutoRead(const QByteArray &reply) {
    TrackSections sections;
    if (!parseTrackReply(reply, int(reply.size()), sections))
        return true;
    return showTracks(sections);
}

QCoro::Task<> MagneticTab::Timer634b_Timer() {
    m_timer634a->stop();
    m_timer634b->stop();
    bool lineFailed = false;
    try {
        DirectLine line(m_reader.readerPort());
        const DirectLine::Frame got =
            co_await line.readFrame(link::kHeaderLimitMs, link::kRestLimitMs);
        const QByteArray &frame = got.bytes;
        if (!frame.isEmpty())
            log(magReceivedLine(frame));
        if (!got.complete || !frameBccMatches(frame)) {
            log(QString());
            co_return;
        }
        const QByteArray reply = frame.mid(3);
        if (at(reply, 0) == 'N') {
            link::ShowReaderError(at(reply, 2));
            log(QString());
            co_return;
        }
        const bool anyError = judgeAutoRead(reply);
        if (m_running) {
            countAutoRead(anyError);
            co_await ejectAfterRead();
        }
        log(QString());
    } catch (const link::SerialError &) {
        lineFailed = true;
    }
    if (lineFailed)
        co_await failStep();
}

void MagneticTab::countAutoRead(bool anyError) {
    addOneTo(m_readNumLabel);
    if (anyError)
        addOneTo(m_errNumLabel);
    m_rate->setText(errorRateText(labelNumberOf(m_errNumLabel), labelNumberOf(m_readNumLabel)));
}

// Throws link::SerialError when the line is gone; the read step stops then.
QCoro::Task<> MagneticTab::ejectAfterRead() {
    DirectLine line(m_reader.readerPort());
    const QByteArray frame = link::buildReaderFrame(QByteArrayLiteral("20"));
    line.send(frame);
    log(magSentLine(frame));
    const std::optional<quint8> answer = co_await line.waitByte(kAnswerLimitMs);
    if (answer != link::ACK) {
        if (answer)
            log(magReceivedLine(QByteArray(1, char(*answer))));
        co_await failStep();
        co_return;
    }
    line.sendByte(link::ENQ);
    log(magEnquiryLine());
    const QByteArray reply = co_await line.waitBytes(8, kAnswerLimitMs);
    if (!reply.isEmpty())
        log(magReceivedLine(reply));
    if (reply.size() < 8 || !frameBccMatches(reply)) {
        co_await failStep();
        co_return;
    }
    const QString title = QStringLiteral("Eject Card");
    const quint8 result = at(reply, 5);
    if (result == 'Y') {
        if (labelNumberOf(m_readNumLabel) < m_target)
            pollAgainAfter(kPollMs);
        else
            co_await RsCommand_Click();
        co_return;
    }
    co_await RsCommand_Click();
    switch (result) {
    case 'N':
        link::showMessage(QStringLiteral("Eject Card Error"), title, link::MsgIcon::Information);
        break;
    case 'E':
        link::showMessage(QStringLiteral("No Card In The Reader"), title,
                          link::MsgIcon::Information);
        break;
    case 'W':
        link::showMessage(QStringLiteral("The card is not on the IC card operation position"),
                          title, link::MsgIcon::Information);
        break;
    default:
        // A result the reader has no word for: nothing more is done safely,
        // and the status line says why the test ended.
        m_reader.showStatus(
            QStringLiteral("Eject Card: unknown result %1h; the automatic test stopped.")
                .arg(QString::number(result, 16).toUpper().rightJustified(2, QLatin1Char('0'))));
        break;
    }
}

void MagneticTab::logUploadChatter(const QByteArray &got) {
    if (m_chatterLogged < kChatterLogLimit) {
        const QByteArray shown = got.left(kChatterLogLimit - m_chatterLogged);
        m_chatterLogged += shown.size();
        log(magReceivedLine(shown));
        if (shown.size() == got.size())
            return;
    }
    if (!m_chatterCutNoted) {
        m_chatterCutNoted = true;
        m_reader.showStatus(
            QStringLiteral("Uploading test: the line keeps sending bytes nobody asked for; "
                           "after %1 of them the day's log no longer takes them.")
                .arg(kChatterLogLimit));
    }
}

QCoro::Task<> MagneticTab::Timer523a_Timer() {
    m_timer523b->stop();
    // Not fired again while this look waits: it is started anew below.
    m_timer523a->stop();
    if (labelNumberOf(m_readNumLabel) >= m_target) {
        co_await RsCommand_Click();
        co_return;
    }
    bool lineFailed = false;
    try {
        link::SerialComm &port = m_reader.readerPort();
        // The look awaits the reader's next bytes instead of coming back every
        // millisecond; it gives up after a while only to check the target.
        const bool arrived =
            co_await port.waitForInBufferCount(1, link::clock().nowMs() + kUploadLookMs);
        if (!arrived) {
            m_timer523a->start();
            co_return;
        }
        port.setInputLen(0);
        const QByteArray got = port.Input();
        if (got.isEmpty()) {
            m_timer523a->start();
            co_return;
        }
        clearTrackDisplay();
        if (got.size() < 4 && at(got, 0) == link::ENQ) {
            log(magReceivedLine(got));
            port.setOutput(QByteArray(1, char(link::ACK)));
            log(magUploadAckLine());
            m_timer523b->setInterval(1);
            m_timer523b->start();
        } else if (got.size() >= 4 && at(got, 3) == EOT) {
            log(magReceivedLine(got));
            m_timer523a->setInterval(kPollMs);
            m_timer523a->start();
        } else {
            // Neither an upload request nor its end: line noise.
            logUploadChatter(got);
            m_timer523a->start();
        }
    } catch (const link::SerialError &) {
        lineFailed = true;
    }
    if (lineFailed)
        co_await failStep();
}

QCoro::Task<> MagneticTab::Timer523b_Timer() {
    m_timer523a->stop();
    m_timer523b->stop();
    bool lineFailed = false;
    try {
        DirectLine line(m_reader.readerPort());
        const DirectLine::Frame got = co_await line.readFrame(4000, link::kRestLimitMs);
        const QByteArray &frame = got.bytes;
        if (!frame.isEmpty())
            log(magReceivedLine(frame));
        if (!got.complete || !frameBccMatches(frame)) {
            log(QString());
            co_await RsCommand_Click();
            co_return;
        }
        const bool anyError = judgeAutoRead(frame.mid(3));
        if (m_running)
            countAutoRead(anyError);
        log(QString());
        m_timer523a->start();
    } catch (const link::SerialError &) {
        lineFailed = true;
    }
    if (lineFailed)
        co_await failStep();
}

} // namespace talvex::magnetic
