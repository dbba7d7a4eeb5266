#include "link/exchange.h"
#include "link/blockon.h"
#include "link/frame.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "support/fakeclock.h"
#include "support/recordingmessageboxes.h"
#include "support/scriptedbackend.h"
#include "support/scriptedreader.h"

#include <QTest>
#include <functional>
#include <memory>

using namespace talvex;
using namespace talvex::link;
using talvex::testing::FakeClock;
using talvex::testing::RecordingMessageBoxes;
using talvex::testing::ScriptedBackend;
using talvex::testing::ScriptedReader;

namespace {

constexpr int kReaderPort = 7;
const QString kCrLf = QStringLiteral("\r\n");

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

QByteArray body(int n, char first = 'A') {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>(first + i % 26);
    return b;
}

// An SD or RD entry as the log must show it, given how many bytes each line
// holds; continuation lines line up under the first byte.
QString logLines(const char *tag, const QByteArray &bytes, const QList<int> &perLine,
                 bool emptyTail = false) {
    const QString indent = kCrLf + QString(tag[0] == 'S' ? 7 : 8, QLatin1Char(' '));
    QString out = QLatin1String(tag);
    int at = 0;
    for (int i = 0; i < perLine.size(); ++i) {
        out += (i > 0 ? indent : QString()) + bytesText(bytes.mid(at, perLine[i]));
        at += perLine[i];
    }
    return out + (emptyTail ? indent : QString()) + kCrLf;
}
QString sdLines(const QByteArray &bytes, const QList<int> &perLine, bool emptyTail = false) {
    return logLines("SD: ", bytes, perLine, emptyTail);
}
QString rdLines(const QByteArray &bytes, const QList<int> &perLine, bool emptyTail = false) {
    return logLines("RD: ", bytes, perLine, emptyTail);
}

const QString kAckLine = QStringLiteral("RD: 06\r\n");
const QString kEnqLine = QStringLiteral("SD: 05\r\n");
const QByteArray kResetFrame = hex("02000230300303");

// One reader port, mapped to a scripted reader, with the fake clock in force.
class Bench {
public:
    Bench() {
        portmap::mapBackend(kReaderPort, [this] {
            auto backend = std::make_unique<ScriptedBackend>(clock);
            device = backend.get();
            device->onWrite = [this](const QByteArray &w, ScriptedBackend &l) {
                reader.respond(w, l);
            };
            return backend;
        });
        port.setCommPort(kReaderPort);
        port.setPortOpen(true);
        state.m_portSetUp = true;
    }
    ~Bench() { portmap::unmap(kReaderPort); }

    ReplyStatus send(const QByteArray &frame) {
        return link::blockOn(SendReaderCommand(state, frame, int(frame.size()), reply, replyLength));
    }

    FakeClock clock;
    ScopedClock scopedClock{clock};
    RecordingMessageBoxes boxes;
    ScriptedReader reader;
    ScriptedBackend *device = nullptr;
    SerialComm port;
    ReaderLinkState state{port};
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;
};

void expectOnlyBox(const RecordingMessageBoxes &boxes, const QString &title, const QString &text,
                   MsgIcon icon) {
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown.first().title, title);
    QCOMPARE(boxes.shown.first().text, text);
    QCOMPARE(boxes.shown.first().icon, icon);
    QCOMPARE(boxes.shown.first().buttons, MsgButtons::Ok);
}

const QString kCommunicationError =
    QStringLiteral("Communication Error\r\nPossible causes:\r\n1)Communication setup error\r\n"
                   "2)Wrong model selected\r\n3)No connected\r\n4)No power on unit");

} // namespace

class TestExchange : public QObject {
    Q_OBJECT

private slots:
    void resetExchangeLogsTheWholeConversation();
    void continuationLines_data();
    void continuationLines();
    void replyWithHighLengthByteWaitsForAllOfIt();
    void bytesBeyondTheAnnouncedLength_data();
    void bytesBeyondTheAnnouncedLength();

    void timeLimits_data();
    void timeLimits();
    void wrongBccLeavesTheReplyAlone();

    void negativeReplies_data();
    void negativeReplies();
    void replyThatDoesNotFitTheBuffer();

    void failurePaths_data();
    void failurePaths();
};

void TestExchange::resetExchangeLogsTheWholeConversation() {
    Bench b;
    b.reader.setReply(hex("020004503041420366"));

    QCOMPARE(int(b.send(kResetFrame)), 0);

    QCOMPARE(b.state.m_log, QStringLiteral("SD: 02 00 02 30 30 03 03 \r\n"
                                           "RD: 06\r\n"
                                           "SD: 05\r\n"
                                           "RD: 02 00 04 50 30 41 42 03 66 \r\n"
                                           "\r\n"));
    QCOMPARE(b.device->writes(), (QList<QByteArray>{kResetFrame, hex("05")}));
    QCOMPARE(b.replyLength, qint16(6));
    QCOMPARE(b.reply.left(6), hex("503041420366"));
    QCOMPARE(b.reply.size(), 1025);
    QCOMPARE(b.state.m_time, QStringLiteral("60")); // 10 + 20 + 30 on the fake clock
    QVERIFY(b.boxes.shown.isEmpty());
    QVERIFY(b.state.m_records.isEmpty());
}

void TestExchange::continuationLines_data() {
    QTest::addColumn<int>("frameLength");
    QTest::addColumn<QList<int>>("sdPerLine");
    QTest::addColumn<bool>("sdTail"); // a blank continuation line follows
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<QList<int>>("rdPerLine");
    QTest::addColumn<bool>("rdTail");

    using L = QList<int>;
    QTest::newRow("7, 8") << 7 << L{7} << false << 8 << L{8} << false;
    QTest::newRow("23, 24") << 23 << L{23} << false << 24 << L{24} << false;
    QTest::newRow("24, 25 leave blank continuations") << 24 << L{24} << true << 25 << L{25} << true;
    QTest::newRow("25, 26") << 25 << L{24, 1} << false << 26 << L{25, 1} << false;
    QTest::newRow("49 leaves a blank continuation")
        << 49 << L{24, 25} << true << 8 << L{8} << false;
    QTest::newRow("60, 60") << 60 << L{24, 25, 11} << false << 60 << L{25, 25, 10} << false;
}

void TestExchange::continuationLines() {
    QFETCH(int, frameLength);
    QFETCH(QList<int>, sdPerLine);
    QFETCH(bool, sdTail);
    QFETCH(int, replyLength);
    QFETCH(QList<int>, rdPerLine);
    QFETCH(bool, rdTail);

    Bench b;
    const QByteArray reply = buildReaderFrame("P0" + body(replyLength - 7));
    b.reader.setReply(reply);
    const QByteArray frame = buildReaderFrame(body(frameLength - 5));

    QCOMPARE(int(b.send(frame)), 0);
    QCOMPARE(b.state.m_log, sdLines(frame, sdPerLine, sdTail) + kAckLine + kEnqLine +
                                rdLines(reply, rdPerLine, rdTail) + kCrLf);
}

void TestExchange::replyWithHighLengthByteWaitsForAllOfIt() {
    Bench b;
    const QByteArray reply = buildReaderFrame("P0Y" + body(297));
    QCOMPARE(reply.mid(1, 2), hex("012C"));
    // Everything but the BCC comes first (2480 ms late); the exchange must not
    // read before the last byte is there.
    b.reader.setReply(reply);
    b.reader.headerBytes = int(reply.size()) - 1;
    b.reader.restAfter = 2480;

    QCOMPARE(int(b.send(kResetFrame)), 0);
    QCOMPARE(b.replyLength, qint16(302));
    QCOMPARE(b.reply.left(302), reply.mid(3));
    QCOMPARE(b.state.m_time, QString::number(10 + 2500));
}

void TestExchange::bytesBeyondTheAnnouncedLength_data() {
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("result");

    // The last waiting byte is taken as the BCC: two equal extra bytes cancel
    // out and pass, a single extra byte other than 00 fails.
    QTest::newRow("two extra bytes that check") << hex("5A5A") << 0;
    QTest::newRow("one extra byte that does not") << hex("07") << -1;
}

void TestExchange::bytesBeyondTheAnnouncedLength() {
    QFETCH(QByteArray, extra);
    QFETCH(int, result);

    Bench b;
    const QByteArray reply = buildReaderFrame("P0Y") + extra;
    b.reader.setReply(reply);

    QCOMPARE(int(b.send(kResetFrame)), result);
    QVERIFY(b.state.m_log.endsWith(rdLines(reply, {int(reply.size())}) + kCrLf));
    if (result == 0) {
        QCOMPARE(b.replyLength, qint16(reply.size() - 3));
        QCOMPARE(b.reply.left(b.replyLength), reply.mid(3));
    } else {
        QCOMPARE(b.replyLength, qint16(0));
    }
    QVERIFY(b.boxes.shown.isEmpty());
}

void TestExchange::timeLimits_data() {
    QTest::addColumn<qint64>("answerAfter");
    QTest::addColumn<qint64>("headerAfter");
    QTest::addColumn<qint64>("restAfter");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("partialLog"); // the log of a failure
    QTest::addColumn<QString>("elapsed");

    const QString sd = sdLines(kResetFrame, {7});
    // A byte that arrives when the limit is reached still counts; a
    // millisecond later the reader has lost. A silent reader is the fault matrix's.
    QTest::newRow("ACK at 3000 ms") << 3000LL << 20LL << 30LL << true << QString() << "3050";
    QTest::newRow("ACK at 3001 ms") << 3001LL << 20LL << 30LL << false << sd << "3000";
    QTest::newRow("header at 7.99 s") << 10LL << 7990LL << 30LL << true << QString() << "8030";
    QTest::newRow("header at 8.01 s")
        << 10LL << 8010LL << 30LL << false << sd + kAckLine + kEnqLine << "8010";
    QTest::newRow("rest at 2.99 s") << 10LL << 20LL << 2990LL << true << QString() << "3020";
    QTest::newRow("rest at 3.01 s")
        << 10LL << 20LL << 3010LL << false
        << sd + kAckLine + kEnqLine + QStringLiteral("RD: 02 00 04 \r\n") << "3030";
}

void TestExchange::timeLimits() {
    QFETCH(qint64, answerAfter);
    QFETCH(qint64, headerAfter);
    QFETCH(qint64, restAfter);
    QFETCH(bool, ok);
    QFETCH(QString, partialLog);
    QFETCH(QString, elapsed);

    Bench b;
    if (answerAfter < 0)
        b.reader.answer.clear();
    b.reader.answerAfter = answerAfter;
    b.reader.headerAfter = headerAfter;
    b.reader.restAfter = restAfter;
    b.reader.setReply(hex("020004503041420366"));
    b.state.m_recording = true;

    const ReplyStatus result = b.send(kResetFrame);

    QCOMPARE(b.state.m_time, elapsed);
    QCOMPARE(b.state.m_records, QStringList{b.state.m_log});
    if (ok) {
        QCOMPARE(int(result), 0);
        QCOMPARE(b.replyLength, qint16(6));
        QVERIFY(b.boxes.shown.isEmpty());
    } else {
        QCOMPARE(int(result), -1);
        QCOMPARE(b.replyLength, qint16(0));
        QCOMPARE(b.state.m_log, partialLog);
        expectOnlyBox(b.boxes, QStringLiteral("Caution"), kCommunicationError,
                      MsgIcon::Exclamation);
    }
}

void TestExchange::wrongBccLeavesTheReplyAlone() {
    Bench b;
    QByteArray reply = buildReaderFrame("P0Y");
    reply.back() ^= 0x01;
    b.reader.setReply(reply);
    b.reply.fill('\xEE');
    b.replyLength = 77;

    QCOMPARE(int(b.send(kResetFrame)), -1);
    QCOMPARE(b.reply, QByteArray(1025, '\xEE'));
    QCOMPARE(b.replyLength, qint16(77));
    QVERIFY(b.boxes.shown.isEmpty());
    QCOMPARE(b.state.m_log, sdLines(kResetFrame, {7}) + kAckLine + kEnqLine +
                                rdLines(reply, {int(reply.size())}) + kCrLf);
}

void TestExchange::negativeReplies_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("title"); // empty: no box
    QTest::addColumn<QString>("text");

    const QString error = QStringLiteral("Error");
    QTest::newRow("00") << 0x00 << error << "Undefined Command";
    QTest::newRow("01") << 0x01 << error << "Parameter Wrong";
    QTest::newRow("02") << 0x02 << error << "Command Can Not Be Executed";
    QTest::newRow("03") << 0x03 << QString() << QString();
    QTest::newRow("04") << 0x04 << error << "Command Data Wrong";
    QTest::newRow("05") << 0x05 << "The input power supply is not in the operation range"
                        << "Possible Causes\r\n1>The input power supply is too high(>15V)\r\n"
                           "2>The input power supply is too low(<10.5V)\r\n"
                           "3>The output power is not enough";
    QTest::newRow("06") << 0x06 << error << "Not Standard Length Card Inside";
    QTest::newRow("07") << 0x07 << error << "Power-off Protection Status";
    QTest::newRow("08") << 0x08 << QString() << QString();
    QTest::newRow("FF") << 0xFF << QString() << QString();
}

void TestExchange::negativeReplies() {
    QFETCH(int, code);
    QFETCH(QString, title);
    QFETCH(QString, text);

    Bench b;
    const QByteArray reply = buildReaderFrame("N0" + QByteArray(1, char(code)));
    b.reader.setReply(reply);

    QCOMPARE(int(b.send(kResetFrame)), -3);
    QCOMPARE(b.replyLength, qint16(5));
    QCOMPARE(b.reply.left(5), reply.mid(3));
    if (title.isEmpty())
        QVERIFY(b.boxes.shown.isEmpty());
    else
        expectOnlyBox(b.boxes, title, text, MsgIcon::Information);
}

void TestExchange::replyThatDoesNotFitTheBuffer() {
    {
        // Body, ETX and BCC fill the 1025 bytes exactly.
        Bench b;
        b.reader.setReply(buildReaderFrame("P0" + body(1021)));
        QCOMPARE(int(b.send(kResetFrame)), 0);
        QCOMPARE(b.replyLength, qint16(1025));
        QVERIFY(b.boxes.shown.isEmpty());
    }
    {
        Bench b;
        b.reader.setReply(buildReaderFrame("P0" + body(1022)));
        b.state.m_recording = true;
        QCOMPARE(int(b.send(kResetFrame)), 0); // the result as it stood
        QCOMPARE(b.replyLength, qint16(0));
        QCOMPARE(b.reply, newReplyBuffer());
        QVERIFY(b.state.m_log.endsWith(kCrLf + kCrLf));
        QCOMPARE(b.state.m_records, QStringList{b.state.m_log});
        expectOnlyBox(b.boxes, QStringLiteral("Caution"),
                      QStringLiteral("Error:Please check the data effective"),
                      MsgIcon::Exclamation);
    }
}

void TestExchange::failurePaths_data() {
    using Setup = std::function<void(Bench &)>;
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("frameCount"); // as passed to SendReaderCommand
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("text"); // of the one Caution box
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<bool>("recorded"); // the record file gets the log

    const QString sd = sdLines(kResetFrame, {7});
    const QString dataFault = QStringLiteral("Error:Please check the data effective");
    const QList<QByteArray> frameOnly{kResetFrame}, nothing;
    QTest::newRow("NAK: no ENQ, no retry")
        << Setup([](Bench &b) { b.reader.answer = hex("15"); }) << 7 << -1 << kCommunicationError
        << sd + QStringLiteral("RD: 15\r\n") << "10" << frameOnly << true;
    // A line that goes away makes the port refuse the next operation: the
    // wait ends with the line, not at the 8 s limit, nothing had been judged
    // and nothing of the broken exchange is logged.
    QTest::newRow("hang-up after ENQ") << Setup([](Bench &b) {
        b.reader.setReply({});
        b.reader.hangUpAfterEnq = 100;
    }) << 7 << 0 << dataFault << QString()
                                       << "0" << QList<QByteArray>{kResetFrame, hex("05")} << true;
    QTest::newRow("hang-up while waiting for the ACK") << Setup([](Bench &b) {
        b.device->onWrite = [](const QByteArray &, ScriptedBackend &l) {
            l.feedAfter(10, hex("06"));
            l.hangUpAt(talvex::link::clock().nowMs() + 5);
        };
    }) << 7 << 0 << dataFault << QString() << "0" << frameOnly
                                                       << true;
    QTest::newRow("hang-up before the exchange")
        << Setup([](Bench &b) { b.device->hangUp(); }) << 7 << 0 << dataFault << QString() << "0"
        << nothing << true;
    // Nothing had been judged yet: the result stands as it was.
    QTest::newRow("port refusing a write") << Setup([](Bench &b) {
        b.device->onWrite = [](const QByteArray &, ScriptedBackend &) {
            throw SerialError(kPortIoFailed);
        };
    }) << 7 << 0 << dataFault << QString() << "0"
                                           << frameOnly << true;
    QTest::newRow("count beyond the frame")
        << Setup([](Bench &) {}) << 9 << 0 << dataFault << QString() << "0" << nothing << true;
    QTest::newRow("port not set up")
        << Setup([](Bench &b) { b.state.m_portSetUp = false; }) << 7 << -1
        << QStringLiteral("Comm. Port Setup First") << QStringLiteral("earlier traffic\r\n") << "0"
        << nothing << false;
}

void TestExchange::failurePaths() {
    using Setup = std::function<void(Bench &)>;
    QFETCH(Setup, setup);
    QFETCH(int, frameCount);
    QFETCH(int, result);
    QFETCH(QString, text);
    QFETCH(QString, log);
    QFETCH(QString, elapsed);
    QFETCH(QList<QByteArray>, writes);
    QFETCH(bool, recorded);

    Bench b;
    setup(b);
    b.state.m_recording = true;
    b.state.m_log = QStringLiteral("earlier traffic\r\n");
    b.state.m_time = "123";
    QCOMPARE(int(link::blockOn(SendReaderCommand(b.state, kResetFrame, frameCount, b.reply, b.replyLength))),
             result);
    QCOMPARE(b.replyLength, qint16(0));
    QCOMPARE(b.state.m_log, log);
    QCOMPARE(b.state.m_time, elapsed);
    QCOMPARE(b.state.m_records, recorded ? QStringList{log} : QStringList());
    expectOnlyBox(b.boxes, QStringLiteral("Caution"), text, MsgIcon::Exclamation);
    // The port stays open after every path; a line that went away says so.
    QVERIFY(b.port.PortOpen());
    QCOMPARE(b.device->writes(), writes);
    const bool hungUp = QByteArray(QTest::currentDataTag()).startsWith("hang-up");
    QCOMPARE(b.port.lineTrouble(),
             hungUp ? QStringLiteral("COM7: the device went away (unplugged or switched off?). "
                                     "Bring it back, then use Setup Comm again.")
                    : QString());
}

QTEST_APPLESS_MAIN(TestExchange)
#include "test_exchange.moc"
