// The automatic magnetic test: window timers chain one step to the next, and
// each step drives the reader's port itself and logs every byte to the day's
// "MagAuto" file.

#include "labelcount.h"
#include "link/blockon.h"
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

// The port steps every part of the test shares. Throws link::SerialError when
// the line is gone. A wait that drags on shows the wait cursor; it is over
// before any message box of the step.
class DirectLine {
public:
    explicit DirectLine(link::SerialComm &port) : m_port(port) {}

    void send(const QByteArray &bytes) {
        m_port.setInBufferCount(0);
        m_port.setOutput(bytes);
    }
    void sendByte(quint8 byte) { m_port.setOutput(QByteArray(1, char(byte))); }
    std::optional<quint8> waitByte(int limitMs) {
        const link::BusyStretch waiting;
        m_port.setInputLen(1);
        if (!link::blockOn(m_port.waitForInBufferCount(1, link::clock().nowMs() + limitMs)))
            return std::nullopt;
        const QByteArray byte = m_port.Input();
        if (byte.isEmpty())
            return std::nullopt;
        return quint8(byte.at(0));
    }
    // Everything waiting once count bytes are there or the limit passed.
    QByteArray waitBytes(int count, int limitMs) {
        const link::BusyStretch waiting;
        m_port.setInputLen(0);
        link::blockOn(m_port.waitForInBufferCount(count, link::clock().nowMs() + limitMs));
        return m_port.Input();
    }
    // A reader frame: its header within headerMs, the rest within restMs.
    // Returns what arrived, complete or not; complete says which.
    QByteArray readFrame(int headerMs, int restMs, bool &complete) {
        const link::BusyStretch waiting;
        complete = false;
        m_port.setInputLen(3);
        if (!link::blockOn(m_port.waitForInBufferCount(3, link::clock().nowMs() + headerMs)))
            return {};
        QByteArray frame = m_port.Input();
        if (frame.size() < 3)
            return frame;
        const int need = at(frame, 1) * 256 + at(frame, 2) + 2;
        m_port.setInputLen(0);
        complete = link::blockOn(m_port.waitForInBufferCount(need, link::clock().nowMs() + restMs));
        frame += m_port.Input();
        return frame;
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

void MagneticTab::RCommand_Click() {
    const QString current = model();
    if (current.isEmpty()) {
        link::showCaution(link::text::PortSetupFirst);
        return;
    }
    if (m_hooks.setReaderControlEnabled)
        m_hooks.setReaderControlEnabled(false);
    startLog();

    m_lastStatus = 0;
    m_pollCount = 0;
    m_quiet = false;
    MCleartrack_Click();
    m_readNumLabel->setText(QStringLiteral("0"));
    m_errNumLabel->setText(QStringLiteral("0"));
    m_rate->setText(QStringLiteral("0"));

    m_target = leadingWholeNumber(m_lianXuText->text());
    if (m_target < 1) {
        if (m_hooks.setReaderControlEnabled)
            m_hooks.setReaderControlEnabled(true);
        link::showCaution(QStringLiteral("The Value should > 0"));
        return;
    }
    if (m_hooks.stopRecordingToFile)
        m_hooks.stopRecordingToFile();
    m_lianXuText->setEnabled(false);
    m_openMagFileBtn->setEnabled(false);

    if (current == QLatin1String("KVR-690")) {
        lockWindowForTest();
        if (prepareEntryControl('0'))
            prepareStopPosition();
    } else if (current == QLatin1String("KVR-634")) {
        lockWindowForTest();
        pollAgainAfter(kPollMs);
    } else if (current == QLatin1String("KVR-638")) {
        lockWindowForTest();
        if (prepareEntryControl('1'))
            pollAgainAfter(kPollMs);
    } else if (current == QLatin1String("KVR-523")) {
        lockWindowForTest();
        prepareReadingMethod();
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

void MagneticTab::RsCommand_Click() {
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
        link::blockOn(sendReadingMethod('1'));
    }
    if (m_hooks.unlockAfterAutoTest)
        m_hooks.unlockAfterAutoTest();
    m_lianXuText->setEnabled(true);
    m_openMagFileBtn->setEnabled(true);
    m_running = false;
}

void MagneticTab::ReadCardType523_Click() {
    if (m_readCardType523->isChecked()) {
        RCommand_Click();
    } else if (m_running) {
        RsCommand_Click();
    } else {
        link::blockOn(sendReadingMethod('1'));
    }
}

void MagneticTab::OpenMagFileBtn_Click() {
    ui::openTextFileInEditor(this, link::recordFolder(), QStringLiteral("MagAuto*.TXT"));
}

void MagneticTab::pollAgainAfter(int ms) {
    m_timera->setInterval(ms);
    m_timera->start();
}

void MagneticTab::failStep() {
    link::showCommunicationError();
    log(QString());
    RsCommand_Click();
}

// One preparation exchange on the port: the frame, ACK, ENQ, then the reply
// frame (minReplyBytes of it within replyLimitMs). Logs every frame. Returns
// the whole reply frame when it arrived; the caller judges it.
std::optional<QByteArray> MagneticTab::directExchange(const QByteArray &body, int delayAfterEnqMs,
                                                      int minReplyBytes, int replyLimitMs) {
    // Started by a click: the whole exchange counts, DelayMs included.
    const link::BusyStretch waiting;
    DirectLine line(m_reader.readerPort());
    const QByteArray frame = link::buildReaderFrame(body);
    line.send(frame);
    log(magSentLine(frame));
    const std::optional<quint8> answer = line.waitByte(link::kAckLimitMs);
    if (!answer)
        return std::nullopt;
    log(magReceivedLine(QByteArray(1, char(*answer))));
    if (*answer != link::ACK)
        return std::nullopt;
    line.sendByte(link::ENQ);
    log(magEnquiryLine());
    if (delayAfterEnqMs > 0)
        link::blockOn(link::DelayMs(m_reader.readerPort(), delayAfterEnqMs));
    bool complete = false;
    QByteArray reply;
    if (minReplyBytes > 0) {
        reply = line.waitBytes(minReplyBytes, replyLimitMs);
        complete = reply.size() >= minReplyBytes;
    } else {
        reply = line.readFrame(link::kHeaderLimitMs, link::kRestLimitMs, complete);
    }
    if (!reply.isEmpty())
        log(magReceivedLine(reply));
    if (!complete || !frameBccMatches(reply))
        return std::nullopt;
    return reply;
}

bool MagneticTab::prepareEntryControl(char rear) {
    std::optional<QByteArray> reply;
    try {
        reply = directExchange(QByteArray("/2") + rear, 500, 0, 0);
    } catch (const link::SerialError &) {
        reply.reset();
    }
    if (!reply) {
        failStep();
        return false;
    }
    return true;
}

void MagneticTab::prepareStopPosition() {
    std::optional<QByteArray> reply;
    try {
        reply = directExchange(QByteArrayLiteral(".2"), 0, 8, kAnswerLimitMs);
    } catch (const link::SerialError &) {
        reply.reset();
    }
    if (!reply) {
        failStep();
        return;
    }
    // Frame byte 3 is the first body byte, byte 5 the result (or error code).
    if (at(*reply, 3) == 'N') {
        link::ShowReaderError(at(*reply, 5));
    } else if (at(*reply, 5) != 'Y') {
        link::showMessage(QStringLiteral("Card stop position setting failed"),
                          QStringLiteral("Auto test"), link::MsgIcon::Information);
    } else {
        pollAgainAfter(kPollMs);
        return;
    }
    log(QString());
    RsCommand_Click();
}

void MagneticTab::prepareReadingMethod() {
    const std::optional<char> method = reader::askReadingMethod(this);
    if (!method)
        return;
    const char mode = modeByte();
    std::optional<QByteArray> reply;
    try {
        reply =
            directExchange(reader::readingMethodBody(mode, '0', trackCodeByte(), *method), 0, 0, 0);
    } catch (const link::SerialError &) {
        reply.reset();
    }
    if (!reply) {
        link::showCommunicationError();
        log(QString());
        return;
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

void MagneticTab::Timera_Timer() {
    m_timera->stop();
    m_timer634a->stop();
    if (labelNumberOf(m_readNumLabel) >= m_target) {
        RsCommand_Click();
        return;
    }
    try {
        DirectLine line(m_reader.readerPort());
        const QByteArray frame = link::buildReaderFrame(QByteArrayLiteral("10"));
        line.send(frame);
        const bool logNow = !m_quiet && m_pollCount == 0;
        QString pollText = magSentLine(frame);
        if (logNow)
            log(pollText);

        const std::optional<quint8> answer = line.waitByte(kAnswerLimitMs);
        if (answer == link::NAK) {
            pollAgainAfter(kPollAfterNakMs);
            return;
        }
        if (answer != link::ACK) {
            log(QString());
            pollAgainAfter(kPollMs);
            return;
        }
        line.sendByte(link::ENQ);
        pollText += QStringLiteral("\r\n") + magEnquiryLine();
        if (logNow)
            log(magEnquiryLine());

        const int need = model() == QLatin1String("KVR-634") ? 9 : 10;
        const QByteArray status = line.waitBytes(need, kStatusLimitMs);
        if (status.size() < need) {
            log(QString());
            pollAgainAfter(at(status, 0) == link::NAK ? kPollAfterNakMs : kPollMs);
            return;
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
            return;
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
        failStep();
    }
}

void MagneticTab::Timer634a_Timer() {
    m_timer634a->stop();
    m_timer634b->stop();
    if (!m_reader.portSetUp()) {
        link::showCaution(link::text::PortSetupFirst);
        return;
    }
    try {
        DirectLine line(m_reader.readerPort());
        const QByteArray frame = link::buildReaderFrame(readCommandBody());
        line.send(frame);
        log(magSentLine(frame));
        const std::optional<quint8> answer = line.waitByte(kAnswerLimitMs);
        if (!answer) {
            link::showCommunicationError();
            log(QString());
            return;
        }
        log(magReceivedLine(QByteArray(1, char(*answer))));
        if (*answer != link::ACK) {
            log(QString());
            return;
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

void MagneticTab::Timer634b_Timer() {
    m_timer634a->stop();
    m_timer634b->stop();
    try {
        DirectLine line(m_reader.readerPort());
        bool complete = false;
        const QByteArray frame = line.readFrame(link::kHeaderLimitMs, link::kRestLimitMs, complete);
        if (!frame.isEmpty())
            log(magReceivedLine(frame));
        if (!complete || !frameBccMatches(frame)) {
            log(QString());
            return;
        }
        const QByteArray reply = frame.mid(3);
        if (at(reply, 0) == 'N') {
            link::ShowReaderError(at(reply, 2));
            log(QString());
            return;
        }
        TrackSections sections;
        const bool anyError =
            parseTrackReply(reply, int(reply.size()), sections) && showTracks(sections);
        if (m_running) {
            countAutoRead(anyError);
            ejectAfterRead();
        }
        log(QString());
    } catch (const link::SerialError &) {
        failStep();
    }
}

void MagneticTab::countAutoRead(bool anyError) {
    addOneTo(m_readNumLabel);
    if (anyError)
        addOneTo(m_errNumLabel);
    m_rate->setText(errorRateText(labelNumberOf(m_errNumLabel), labelNumberOf(m_readNumLabel)));
}

void MagneticTab::ejectAfterRead() {
    DirectLine line(m_reader.readerPort());
    const QByteArray frame = link::buildReaderFrame(QByteArrayLiteral("20"));
    line.send(frame);
    log(magSentLine(frame));
    const std::optional<quint8> answer = line.waitByte(kAnswerLimitMs);
    if (answer != link::ACK) {
        if (answer)
            log(magReceivedLine(QByteArray(1, char(*answer))));
        failStep();
        return;
    }
    line.sendByte(link::ENQ);
    log(magEnquiryLine());
    const QByteArray reply = line.waitBytes(8, kAnswerLimitMs);
    if (!reply.isEmpty())
        log(magReceivedLine(reply));
    if (reply.size() < 8 || !frameBccMatches(reply)) {
        failStep();
        return;
    }
    const QString title = QStringLiteral("Eject Card");
    switch (at(reply, 5)) {
    case 'Y':
        if (labelNumberOf(m_readNumLabel) < m_target)
            pollAgainAfter(kPollMs);
        else
            RsCommand_Click();
        break;
    case 'N':
        RsCommand_Click();
        link::showMessage(QStringLiteral("Eject Card Error"), title, link::MsgIcon::Information);
        break;
    case 'E':
        RsCommand_Click();
        link::showMessage(QStringLiteral("No Card In The Reader"), title,
                          link::MsgIcon::Information);
        break;
    case 'W':
        RsCommand_Click();
        link::showMessage(QStringLiteral("The card is not on the IC card operation position"),
                          title, link::MsgIcon::Information);
        break;
    default:
        // A result the reader has no word for: nothing more is done safely.
        RsCommand_Click();
        break;
    }
}

void MagneticTab::Timer523a_Timer() {
    m_timer523b->stop();
    if (labelNumberOf(m_readNumLabel) >= m_target) {
        RsCommand_Click();
        return;
    }
    try {
        link::SerialComm &port = m_reader.readerPort();
        if (port.InBufferCount() == 0)
            return;
        port.setInputLen(0);
        const QByteArray got = port.Input();
        if (got.isEmpty())
            return;
        log(magReceivedLine(got));
        clearTrackDisplay();
        if (got.size() < 4 && at(got, 0) == link::ENQ) {
            port.setOutput(QByteArray(1, char(link::ACK)));
            log(magUploadAckLine());
            m_timer523a->stop();
            m_timer523b->setInterval(1);
            m_timer523b->start();
        } else if (got.size() >= 4 && at(got, 3) == EOT) {
            m_timer523a->setInterval(kPollMs);
        }
    } catch (const link::SerialError &) {
        failStep();
    }
}

void MagneticTab::Timer523b_Timer() {
    m_timer523a->stop();
    m_timer523b->stop();
    try {
        DirectLine line(m_reader.readerPort());
        bool complete = false;
        const QByteArray frame = line.readFrame(4000, link::kRestLimitMs, complete);
        if (!frame.isEmpty())
            log(magReceivedLine(frame));
        if (!complete || !frameBccMatches(frame)) {
            log(QString());
            RsCommand_Click();
            return;
        }
        const QByteArray reply = frame.mid(3);
        TrackSections sections;
        const bool anyError =
            parseTrackReply(reply, int(reply.size()), sections) && showTracks(sections);
        if (m_running)
            countAutoRead(anyError);
        log(QString());
        m_timer523a->start();
    } catch (const link::SerialError &) {
        failStep();
    }
}

} // namespace talvex::magnetic
