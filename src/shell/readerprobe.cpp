#include "readerprobe.h"

#include "link/busywait.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"

namespace talvex::shell {

namespace {

// The probe after setup allows the reader longer than a normal exchange for its
// first answer and for the rest of the reply: a reader that has just been
// powered up may still be busy with its own start.
constexpr int kFirstAnswerLimitMs = 5000;
constexpr int kHeaderLimitMs = 8000;
constexpr int kRestLimitMs = 5000;

const QString kOk = QStringLiteral("OK");
const QString kError = QStringLiteral("ERROR");

QCoro::Task<bool> waitFor(link::SerialComm &port, int count, int limitMs) {
    const bool arrived = co_await port.waitForInBufferCount(count, link::clock().nowMs() + limitMs);
    co_return arrived;
}

} // namespace

QByteArray statusQueryFrame() {
    return link::buildReaderFrame(QByteArrayLiteral("10"));
}

bool isReaderStatusByte(quint8 byte) {
    return byte == 'Y' || (byte >= 'F' && byte <= 'N');
}

quint8 byteAt(const QByteArray &bytes, qsizetype index) {
    return index >= 0 && index < bytes.size() ? static_cast<quint8>(bytes.at(index)) : 0;
}

int reopenPort(link::SerialComm &port, int portNumber, int baud) {
    try {
        if (port.PortOpen())
            port.setPortOpen(false);
        if (port.CommPort() != portNumber)
            port.setCommPort(portNumber);
        port.setSettings(QString::number(baud) + QStringLiteral("n81"));
        if (!port.PortOpen())
            port.setPortOpen(true);
    } catch (const link::SerialError &e) {
        return e.number();
    }
    return 0;
}

QCoro::Task<QString> ProbeReaderAfterSetup(link::ReaderLinkContext &reader,
                                           bool &negativeProbeReply) {
    negativeProbeReply = false;
    link::SerialComm &port = reader.readerPort();
    link::BusyStretch waiting;

    // Whatever waits from before is left in place: the reader's answer must
    // then be the first byte, as it would be on a quiet line.
    const QByteArray frame = statusQueryFrame();
    port.setOutput(frame);
    reader.appendTrafficLog(link::sentLine(frame));

    const bool answered = co_await waitFor(port, 1, kFirstAnswerLimitMs);
    if (!answered)
        co_return kError;
    port.setInputLen(0);
    const QByteArray answer = port.Input();
    if (answer.isEmpty())
        co_return kError;
    reader.appendTrafficLog(link::answerLine(byteAt(answer, 0)));
    if (byteAt(answer, 0) != link::ACK)
        co_return kError;

    port.setOutput(QByteArray(1, static_cast<char>(link::ENQ)));
    reader.appendTrafficLog(link::enqLine());
    const bool headerIn = co_await waitFor(port, 3, kHeaderLimitMs);
    if (!headerIn)
        co_return kError;
    port.setInputLen(3);
    const QByteArray header = port.Input();
    if (header.size() < 3)
        co_return kError;

    const int need = byteAt(header, 1) * 256 + byteAt(header, 2) + 2;
    const bool restIn = co_await waitFor(port, need, kRestLimitMs);
    if (!restIn) {
        reader.appendTrafficLog(link::replyLine(header));
        co_return kError;
    }
    port.setInputLen(0);
    const QByteArray rest = port.Input();
    reader.appendTrafficLog(link::replyLine(header + rest) + QStringLiteral("\r\n"));
    if (!link::replyBccMatches(header, rest))
        co_return kError;

    waiting.end();
    if (byteAt(rest, 0) == 'N') {
        link::ShowReaderError(byteAt(rest, 2));
        negativeProbeReply = true;
        co_return kError;
    }
    co_return isReaderStatusByte(byteAt(rest, 2)) ? kOk : QString();
}

} // namespace talvex::shell
