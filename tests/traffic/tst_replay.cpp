// A captured session replayed without the device: the same commands get the
// same answers, faults included, and commands never captured are refused.

#include "devicedrive.h"
#include "link/blockon.h"
#include "link/capturefile.h"
#include "link/exchange.h"
#include "link/journal.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/devicehost.h"
#include "sim/fault.h"
#include "sim/readersim.h"
#include "sim/replaydevice.h"
#include "sim/replaysession.h"
#include "support/recordingmessageboxes.h"

#include <QBuffer>
#include <QtTest>

using namespace talvex;
using link::ExchangeRecord;
using link::LineKind;

Q_DECLARE_METATYPE(talvex::sim::Fault)

namespace {

constexpr int kPort = 14;

ExchangeRecord recorded(LineKind kind, const char *sentHex, const char *answerHex,
                        const char *replyHex = "") {
    ExchangeRecord e;
    e.kind = kind;
    e.port = QStringLiteral("COM1");
    e.sent = QByteArray::fromHex(sentHex);
    e.answer = QByteArray::fromHex(answerHex);
    e.reply = QByteArray::fromHex(replyHex);
    return e;
}

// The program's side of the reader line, with every exchange journalled.
struct Program {
    Program() {
        listenKey = link::journal().listen([this](const ExchangeRecord &e) { captured << e; });
        port.setCommPort(kPort);
        port.setSettings(QStringLiteral("9600n81"));
        port.setPortOpen(true);
        state.m_portSetUp = true;
    }
    ~Program() {
        link::journal().unlisten(listenKey);
        if (port.PortOpen())
            port.setPortOpen(false);
    }
    link::ReplyStatus send(const QByteArray &frame) {
        reply = link::newReplyBuffer();
        replyLength = 0;
        return link::blockOn(
            link::SendReaderCommand(state, frame, int(frame.size()), reply, replyLength));
    }

    testing::RecordingMessageBoxes boxes;
    link::SerialComm port;
    link::ReaderLinkState state{port};
    QByteArray reply;
    qint16 replyLength = 0;
    QList<ExchangeRecord> captured;
    int listenKey = 0;
};

struct Outcome {
    link::ReplyStatus status;
    QByteArray reply;
    QString log;
};

} // namespace

class TestReplay : public QObject {
    Q_OBJECT

private slots:
    void readerAnswersAsCaptured_data();
    void readerAnswersAsCaptured();
    void dispensersAnswerAsCaptured();
    void sessionAgainstTheSimulatorReplays_data();
    void sessionAgainstTheSimulatorReplays();
    void planPicksThePort();
};

void TestReplay::readerAnswersAsCaptured_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArrayList>("answers");
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QStringList>("notices");

    const QByteArray status = QByteArray::fromHex("02000231300302");
    QTest::newRow("Nth occurrence, Nth reply, then the last again")
        << status << QByteArrayList{"\x06", "\x06", "\x06"}
        << QByteArrayList{QByteArray::fromHex("02000350304E032C"),
                          QByteArray::fromHex("020003503059033B"),
                          QByteArray::fromHex("020003503059033B")}
        << QStringList();
    QTest::newRow("silence") << QByteArray::fromHex("02000230300303") << QByteArrayList{""}
                             << QByteArrayList{""} << QStringList();
    QTest::newRow("NAK") << QByteArray::fromHex("020002313003FF") << QByteArrayList{"\x15"}
                         << QByteArrayList{""} << QStringList();
    QTest::newRow("short reply") << QByteArray::fromHex("020002312E031C") << QByteArrayList{"\x06"}
                                 << QByteArrayList{QByteArray::fromHex("0200055030")}
                                 << QStringList();
    QTest::newRow("never captured: Undefined Command")
        << QByteArray::fromHex("0200025A5A0303") << QByteArrayList{"\x06"}
        << QByteArrayList{QByteArray::fromHex("0200034E5A000316")}
        << QStringList{"command 02 00 02 5A 5A 03 03 was never captured; answered as an unknown "
                       "command"};
}

void TestReplay::readerAnswersAsCaptured() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArrayList, answers);
    QFETCH(QByteArrayList, replies);
    QFETCH(QStringList, notices);

    const QList<ExchangeRecord> capture{
        recorded(LineKind::Reader, "02000231300302", "06", "02000350304E032C"),
        recorded(LineKind::Reader, "02000231300302", "06", "020003503059033B"),
        recorded(LineKind::Reader, "02000230300303", ""),
        recorded(LineKind::Reader, "020002313003FF", "15"),
        recorded(LineKind::Reader, "020002312E031C", "06", "0200055030"),
    };
    sim::ReplayDevice device(LineKind::Reader, capture);
    QStringList said;
    device.setNotice([&said](const QString &text) { said << text; });
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const auto e = testing::readerExchange(device, frame);
        QCOMPARE(e.answer, answers.at(i));
        QCOMPARE(e.reply, replies.at(i));
    }
    QCOMPARE(said, notices);
}

void TestReplay::dispensersAnswerAsCaptured() {
    // KVR-820: the acknowledgement, and after ENQ the status reply that was
    // journalled after it.
    ExchangeRecord late;
    late.kind = LineKind::Dispenser820;
    late.answer = QByteArray::fromHex("0253463030300341");
    const QList<ExchangeRecord> capture820{recorded(LineKind::Dispenser820, "0252460315", "06"),
                                           late,
                                           recorded(LineKind::Dispenser820, "024643340330", "")};
    sim::ReplayDevice d820(LineKind::Dispenser820, capture820);
    QByteArray after;
    auto e = testing::dispenserExchange(d820, LineKind::Dispenser820, "RF", &after);
    QCOMPARE(e.answer, QByteArray("\x06"));
    QCOMPARE(after, QByteArray::fromHex("0253463030300341"));
    e = testing::dispenserExchange(d820, LineKind::Dispenser820, "FC4", &after);
    QCOMPARE(e.answer, QByteArray()); // recorded silence
    e = testing::dispenserExchange(d820, LineKind::Dispenser820, "CP", &after);
    QCOMPARE(e.answer, QByteArray("\x06")); // never captured: the plain acknowledgement
    QCOMPARE(after, QByteArray());

    // KVR-840: the whole answer at once, the status frame included; a NAK
    // stays a NAK; an unknown command gets ACK and the address.
    const QList<ExchangeRecord> capture840{
        recorded(LineKind::Dispenser840, "02313541500314", "063135023135303003FF"),
        recorded(LineKind::Dispenser840, "02313544430302", "153135")};
    sim::ReplayDevice d840(LineKind::Dispenser840, capture840);
    const std::pair<QByteArray, const char *> answers840[] = {
        {"15AP", "063135023135303003FF"}, {"15DC", "153135"}, {"15RS", "063135"}};
    for (const auto &[text, answer] : answers840)
        QCOMPARE(testing::dispenserExchange(d840, LineKind::Dispenser840, text).answer,
                 QByteArray::fromHex(answer));
}

void TestReplay::sessionAgainstTheSimulatorReplays_data() {
    QTest::addColumn<sim::Fault>("fault");
    QTest::addColumn<link::ReplyStatus>("faultStatus");
    QTest::newRow("wrong BCC") << sim::Fault::of(sim::Fault::Kind::WrongBcc)
                               << link::ReplyStatus(-1);
    QTest::newRow("negative") << sim::Fault::negative(0x02) << link::ReplyStatus(-3);
}

void TestReplay::sessionAgainstTheSimulatorReplays() {
    QFETCH(sim::Fault, fault);
    QFETCH(link::ReplyStatus, faultStatus);

    const QByteArrayList frames{sim::readerFrame("10"), sim::readerFrame("00"),
                                sim::readerFrame("10"), sim::readerFrame("1.")};
    auto runSession = [&frames](const std::function<void(int)> &beforeEach,
                                QList<ExchangeRecord> *captured) {
        Program program;
        QList<Outcome> outcomes;
        for (int i = 0; i < frames.size(); ++i) {
            beforeEach(i);
            const auto status = program.send(frames.at(i));
            outcomes << Outcome{status, program.reply.left(program.replyLength),
                                program.state.trafficLog()};
        }
        if (captured)
            *captured = program.captured;
        return outcomes;
    };

    // Against the simulator, the third command meeting the fault.
    sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600, sim::Transport::Loopback);
    QVERIFY(reader.start());
    reader.mapToPort(kPort);
    QList<ExchangeRecord> captured;
    const auto live = runSession(
        [&reader, fault](int i) {
            if (i == 2)
                reader.injectFault(fault);
        },
        &captured);
    reader.stop();
    QCOMPARE(captured.size(), 4);
    QCOMPARE(live.at(2).status, faultStatus);
    QCOMPARE(live.at(0).status, link::ReplyStatus(0));

    // Through the file and back.
    QByteArray file = link::captureHeaderLine(QDateTime::currentDateTime());
    for (const auto &e : captured)
        file += link::captureLine(e, {});
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    const auto plan = sim::planReplay(link::readCapture(buffer), QStringLiteral("COM14"));
    QVERIFY2(plan.ok, qPrintable(plan.error));
    QCOMPARE(plan.kind, LineKind::Reader);
    QCOMPARE(plan.exchanges.size(), 4);

    sim::ReplayDevice device(plan.kind, plan.exchanges);
    auto host = sim::createHost(sim::Transport::Loopback);
    host->attach(&device);
    QVERIFY(host->start());
    host->mapToPort(kPort);
    const auto replayed = runSession([](int) {}, nullptr);
    host->stop();
    link::portmap::unmap(kPort);

    for (int i = 0; i < frames.size(); ++i) {
        QCOMPARE(replayed.at(i).status, live.at(i).status);
        QCOMPARE(replayed.at(i).reply, live.at(i).reply);
        QCOMPARE(replayed.at(i).log, live.at(i).log);
    }
}

void TestReplay::planPicksThePort() {
    link::CaptureContents contents;
    contents.ok = true;
    auto on = [](const char *port, LineKind kind) {
        ExchangeRecord e = recorded(kind, "02", "06");
        e.port = QString::fromLatin1(port);
        return e;
    };
    contents.exchanges = {on("COM1", LineKind::Reader), on("COM2", LineKind::Dispenser840),
                          on("COM1", LineKind::Reader), on("COM2", LineKind::Dispenser840),
                          on("COM2", LineKind::Dispenser840)};
    contents.skippedCount = 25;
    contents.skipped = QStringList(20, QStringLiteral("line 9: not JSON"));

    auto plan = sim::planReplay(contents, {});
    QCOMPARE(plan.port, QStringLiteral("COM1"));
    QCOMPARE(plan.exchanges.size(), 2);
    QCOMPARE(plan.notes.size(), 22);
    QCOMPARE(plan.notes.at(20), QStringLiteral("... 5 more lines skipped"));
    QCOMPARE(plan.notes.at(21), QStringLiteral("skipped 25 lines in all"));

    plan = sim::planReplay(contents, QStringLiteral("com2"));
    QCOMPARE(plan.kind, LineKind::Dispenser840);
    QCOMPARE(plan.exchanges.size(), 3);

    plan = sim::planReplay(contents, QStringLiteral("COM7"));
    QVERIFY(!plan.ok);
    QCOMPARE(plan.error, QStringLiteral("the capture holds no exchange on COM7"));
}

QTEST_GUILESS_MAIN(TestReplay)
#include "tst_replay.moc"
