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
                 bool emptyTail) {
    const QString indent = kCrLf + QString(tag[0] == 'S' ? 7 : 8, QLatin1Char(' '));
    QString out = QLatin1String(tag);
    int at = 0;
    for (int i = 0; i < perLine.size(); ++i) {
        out += (i > 0 ? indent : QString()) + bytesText(bytes.mid(at, perLine[i]));
        at += perLine[i];
    }
    return out + (emptyTail ? indent : QString()) + kCrLf;
}

const QString kSdReset = QStringLiteral("SD: 02 00 02 30 30 03 03 \r\n");
const QString kAckEnq = QStringLiteral("RD: 06\r\nSD: 05\r\n");
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
    void lastByteIsTakenAsTheBcc_data();
    void lastByteIsTakenAsTheBcc();

    void timeLimits_data();
    void timeLimits();

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
    QTest::newRow("24, 25 leave blank continuations") << 24 << L{24} << true << 25 << L{25} << true;
    QTest::newRow("25, 26") << 25 << L{24, 1} << false << 26 << L{25, 1} << false;
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
    QCOMPARE(b.state.m_log, logLines("SD: ", frame, sdPerLine, sdTail) + kAckEnq +
                                logLines("RD: ", reply, rdPerLine, rdTail) + kCrLf);
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

void TestExchange::lastByteIsTakenAsTheBcc_data() {
    QTest::addColumn<QString>("rd"); // the reply as logged
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("body"); // what the reply buffer gets; empty: left alone

    // Whatever waits after the announced length is read too, and its last byte
    // is taken as the BCC: two equal extra bytes cancel out and pass.
    QTest::newRow("wrong BCC") << "02 00 03 50 30 59 03 3A " << -1 << QByteArray();
    QTest::newRow("two extra bytes that check")
        << "02 00 03 50 30 59 03 3B 5A 5A " << 0 << hex("503059033B5A5A");
    QTest::newRow("one extra byte that does not")
        << "02 00 03 50 30 59 03 3B 07 " << -1 << QByteArray();
}

void TestExchange::lastByteIsTakenAsTheBcc() {
    QFETCH(QString, rd);
    QFETCH(int, result);
    QFETCH(QByteArray, body);

    Bench b;
    b.reader.setReply(QByteArray::fromHex(rd.toLatin1()));
    b.reply.fill('\xEE');
    b.replyLength = 77;

    QCOMPARE(int(b.send(kResetFrame)), result);
    QCOMPARE(b.state.m_log, kSdReset + kAckEnq + "RD: " + rd + "\r\n\r\n");
    if (body.isEmpty()) {
        QCOMPARE(b.reply, QByteArray(1025, '\xEE'));
        QCOMPARE(b.replyLength, qint16(77));
    } else {
        QCOMPARE(b.reply.left(b.replyLength), body);
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

    const QString sd = kSdReset;
    // A byte that arrives when the limit is reached still counts; a
    // millisecond later the reader has lost. A silent reader is the fault matrix's.
    QTest::newRow("ACK at 3000 ms") << 3000LL << 20LL << 30LL << true << QString() << "3050";
    QTest::newRow("ACK at 3001 ms") << 3001LL << 20LL << 30LL << false << sd << "3000";
    QTest::newRow("header at 7.99 s") << 10LL << 7990LL << 30LL << true << QString() << "8030";
    QTest::newRow("header at 8.01 s") << 10LL << 8010LL << 30LL << false << sd + kAckEnq << "8010";
    QTest::newRow("rest at 2.99 s") << 10LL << 20LL << 2990LL << true << QString() << "3020";
    QTest::newRow("rest at 3.01 s") << 10LL << 20LL << 3010LL << false
                                    << sd + kAckEnq + QStringLiteral("RD: 02 00 04 \r\n") << "3030";
}

void TestExchange::timeLimits() {
    QFETCH(qint64, answerAfter);
    QFETCH(qint64, headerAfter);
    QFETCH(qint64, restAfter);
    QFETCH(bool, ok);
    QFETCH(QString, partialLog);
    QFETCH(QString, elapsed);

    Bench b;
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

    const QString dataFault = QStringLiteral("Error:Please check the data effective");
    const QList<QByteArray> frameOnly{kResetFrame}, nothing;
    QTest::newRow("NAK: no ENQ, no retry")
        << Setup([](Bench &b) { b.reader.answer = hex("15"); }) << 7 << -1 << kCommunicationError
        << kSdReset + QStringLiteral("RD: 15\r\n") << "10" << frameOnly << true;
    // A line that goes away makes the port refuse the next operation: the
    // wait ends with the line, not at the 8 s limit, nothing had been judged
    // and nothing of the broken exchange is logged.
    QTest::newRow("hang-up after ENQ") << Setup([](Bench &b) {
        b.reader.setReply({});
        b.reader.hangUpAfterEnq = 100;
    }) << 7 << 0 << dataFault << QString()
                                       << "0" << QList<QByteArray>{kResetFrame, hex("05")} << true;
    QTest::newRow("hang-up before the exchange")
        << Setup([](Bench &b) { b.device->hangUp(); }) << 7 << 0 << dataFault << QString() << "0"
        << nothing << true;
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
