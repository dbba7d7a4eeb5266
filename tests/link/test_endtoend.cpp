#include "link/clock.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/fault.h"
#include "sim/readermodel.h"
#include "sim/readersim.h"
#include "support/recordingmessageboxes.h"

#include <QElapsedTimer>
#include <QtTest>
#include <ctime>

using namespace talvex;
using namespace talvex::link;
using talvex::testing::RecordingMessageBoxes;

Q_DECLARE_METATYPE(talvex::sim::Fault)

namespace {

constexpr int kReaderPort = 11;

qint64 processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// The whole program side on a real pseudo-terminal: the reader window's port
// and state, and a simulated reader behind the line.
class Line {
public:
    explicit Line(sim::ReaderModel model, int baud = 9600) : reader(model, baud) {
        QString error;
        started = reader.start(&error);
        if (!started) {
            qWarning("no pseudo-terminal: %s", qPrintable(error));
            return;
        }
        portmap::mapPath(kReaderPort, reader.slavePath());
        port.setCommPort(kReaderPort);
        port.setSettings(QStringLiteral("%1n81").arg(baud));
        port.setPortOpen(true);
        state.m_portSetUp = true;
    }
    ~Line() {
        if (port.PortOpen())
            port.setPortOpen(false);
        portmap::unmap(kReaderPort);
    }

    ReplyStatus send(const QByteArray &body) {
        const QByteArray frame = buildReaderFrame(body);
        reply = newReplyBuffer();
        replyLength = 0;
        return SendReaderCommand(state, frame, int(frame.size()), reply, replyLength);
    }
    QByteArray replyBody() const { return reply.left(replyLength - 2); }

    RecordingMessageBoxes boxes;
    sim::ReaderSim reader;
    bool started = false;
    SerialComm port;
    ReaderLinkState state{port};
    QByteArray reply;
    qint16 replyLength = 0;
};

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void resetReplyCarriesTheModel();
    void statusReplyFollowsTheCard();
    void faultsLookLikeAReadersOwn_data();
    void faultsLookLikeAReadersOwn();
    void hangUpMidExchangeLeavesNothingSpinning();
};

void TestEndToEnd::resetReplyCarriesTheModel() {
    Line line(sim::ReaderModel::Kvr638);
    QVERIFY(line.started);

    QCOMPARE(line.send("00"), kReplyOk);
    QCOMPARE(line.replyBody(), "P0" + sim::readerVersionText(sim::ReaderModel::Kvr638));
    QCOMPARE(quint8(line.reply.at(line.replyLength - 2)), ETX);
    QVERIFY(line.boxes.shown.isEmpty());
    QVERIFY(line.state.m_log.startsWith(QStringLiteral("SD: 02 00 02 30 30 03 03 \r\nRD: 06\r\n"
                                                       "SD: 05\r\nRD: 02 00 ")));
    QVERIFY(line.state.m_log.endsWith(QStringLiteral(" \r\n\r\n")));
}

void TestEndToEnd::statusReplyFollowsTheCard() {
    Line line(sim::ReaderModel::Kvr638);
    QVERIFY(line.started);

    QCOMPARE(line.send("10"), kReplyOk);
    QCOMPARE(line.reply.at(0), 'P');
    QCOMPARE(line.reply.at(2), 'N'); // no card

    line.reader.setCard(sim::SimCard{sim::CardKind::Plain, sim::CardPlace::Inside});
    QCOMPARE(line.send("10"), kReplyOk);
    QCOMPARE(line.reply.at(2), 'J');
    QVERIFY(line.boxes.shown.isEmpty());
}

void TestEndToEnd::faultsLookLikeAReadersOwn_data() {
    QTest::addColumn<sim::Fault>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // first line of the box, if any

    QTest::newRow("none") << sim::Fault::none() << 0 << QString();
    QTest::newRow("nak") << sim::Fault::of(sim::Fault::Kind::Nak) << -1
                         << QStringLiteral("Communication Error");
    QTest::newRow("wrong bcc") << sim::Fault::of(sim::Fault::Kind::WrongBcc) << -1 << QString();
    QTest::newRow("negative 02") << sim::Fault::negative(0x02) << -3
                                 << QStringLiteral("Command Can Not Be Executed");
    QTest::newRow("delay") << sim::Fault::delay(300) << 0 << QString();
}

void TestEndToEnd::faultsLookLikeAReadersOwn() {
    QFETCH(sim::Fault, fault);
    QFETCH(int, status);
    QFETCH(QString, message);

    Line line(sim::ReaderModel::Kvr690, 19200);
    QVERIFY(line.started);
    line.reader.injectFault(fault);
    QCOMPARE(int(line.send("00")), status);
    QCOMPARE(line.boxes.shown.size(), message.isEmpty() ? 0 : 1);
    QCOMPARE(line.boxes.texts().value(0).section(QStringLiteral("\r\n"), 0, 0), message);
    if (status == kReplyOk)
        QVERIFY(line.replyBody().contains("KVR690"));
    if (status == kReplyNegative)
        QCOMPARE(line.reply.at(0), 'N');

    // The fault was for one exchange only.
    line.boxes.shown.clear();
    QCOMPARE(line.send("00"), kReplyOk);
    QVERIFY(line.boxes.shown.isEmpty());
}

void TestEndToEnd::hangUpMidExchangeLeavesNothingSpinning() {
    Line line(sim::ReaderModel::Kvr690);
    QVERIFY(line.started);
    QCOMPARE(line.send("00"), kReplyOk);

    line.reader.injectFault(sim::Fault::of(sim::Fault::Kind::HangUp));
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = processCpuMs();
    QCOMPARE(line.send("10"), kReplyFailed);
    const qint64 exchangeWall = wall.elapsed();
    const qint64 exchangeCpu = processCpuMs() - cpuBefore;

    QCOMPARE(line.boxes.shown.size(), 1);
    QCOMPARE(line.boxes.shown.first().title, QStringLiteral("Caution"));
    QVERIFY(line.boxes.shown.first().text.startsWith(QStringLiteral("Communication Error\r\n")));
    QVERIFY(line.state.m_log.startsWith(QStringLiteral("SD: 02 00 02 31 30 03 02 \r\n")));
    // However long the wait lasted, it slept: a spin would use its whole length.
    QVERIFY2(exchangeCpu < 300 + exchangeWall / 4,
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(exchangeCpu).arg(exchangeWall)));

    // Nothing left running on our side: a second of idling costs next to no CPU,
    // and the next command is refused at once by the closed port.
    const qint64 idleBefore = processCpuMs();
    DelayMs(1000);
    QCOMPARE(line.send("10"), kReplyOk);
    const qint64 idleCpu = processCpuMs() - idleBefore;
    QVERIFY2(idleCpu < 200, qPrintable(QStringLiteral("%1 ms CPU while idle").arg(idleCpu)));
    QCOMPARE(line.boxes.shown.size(), 2);
    QCOMPARE(line.boxes.shown.last().text, QStringLiteral("Error:Please check the data effective"));
    QVERIFY(!line.port.PortOpen());
    QTRY_VERIFY_WITH_TIMEOUT(!line.reader.isRunning(), 3000);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
