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

#include <atomic>
#include <ctime>

using namespace talvex;
using namespace talvex::link;

Q_DECLARE_METATYPE(talvex::sim::Fault)

namespace {

constexpr int kReaderPort = 12;
// Generous: the machine running the suite may be busy with builds.
constexpr int kSettleMs = 3000;

qint64 processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// The error number opening the port raises, or 0 when it opens.
int openError(SerialComm &port) {
    try {
        port.setPortOpen(true);
    } catch (const SerialError &e) {
        return e.number();
    }
    return 0;
}

// The reader window's port and state, with a simulated reader in-process
// behind the port number. The listener counts bytes per direction.
struct Line {
    explicit Line(int readerBaud = 9600, int programBaud = 9600)
        : reader(sim::ReaderModel::Kvr690, readerBaud, sim::Transport::Loopback) {
        reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            (d == sim::Direction::FromProgram ? fromProgram : toProgram) += int(bytes.size());
        });
        started = reader.start();
        reader.mapToPort(kReaderPort);
        port.setCommPort(kReaderPort);
        port.setSettings(QStringLiteral("%1n81").arg(programBaud));
        if (started)
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

    testing::RecordingMessageBoxes boxes;
    std::atomic<int> fromProgram{0};
    std::atomic<int> toProgram{0};
    sim::ReaderSim reader;
    bool started = false;
    SerialComm port;
    ReaderLinkState state{port};
    QByteArray reply;
    qint16 replyLength = 0;
};

} // namespace

class TestLoopback : public QObject {
    Q_OBJECT

private slots:
    void exchangesAndFaults_data();
    void exchangesAndFaults();
    void bytesAtAnotherSpeedAreIgnored();
    void onlyOneProgramHoldsTheLine();
    void answerBeforeTheWaitIsNotMissed();
    void waitingForNothingSleeps();
    void wireTimeHoldsBackTheExchange();
};

void TestLoopback::exchangesAndFaults_data() {
    QTest::addColumn<sim::Fault>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("title");   // of the one box shown, if any
    QTest::addColumn<QString>("message"); // its first line

    const QString caution = QStringLiteral("Caution");
    const QString commError = QStringLiteral("Communication Error");
    QTest::newRow("none") << sim::Fault::none() << 0 << QString() << QString();
    QTest::newRow("nak") << sim::Fault::of(sim::Fault::Kind::Nak) << -1 << caution << commError;
    QTest::newRow("wrong bcc") << sim::Fault::of(sim::Fault::Kind::WrongBcc) << -1 << QString()
                               << QString();
    QTest::newRow("negative 02") << sim::Fault::negative(0x02) << -3 << QStringLiteral("Error")
                                 << QStringLiteral("Command Can Not Be Executed");
    QTest::newRow("hang-up") << sim::Fault::of(sim::Fault::Kind::HangUp) << -1 << caution
                             << commError;
}

void TestLoopback::exchangesAndFaults() {
    QFETCH(sim::Fault, fault);
    QFETCH(int, status);
    QFETCH(QString, title);
    QFETCH(QString, message);

    Line line;
    QVERIFY(line.started);
    line.reader.injectFault(fault);
    QElapsedTimer wall;
    wall.start();
    QCOMPARE(int(line.send("00")), status);
    // Well inside the 3 s ACK limit: a hang-up wakes the waiting program at once.
    QVERIFY2(wall.elapsed() < 2000, qPrintable(QString::number(wall.elapsed())));
    QCOMPARE(line.boxes.shown.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(line.boxes.shown.first().title, title);
        QCOMPARE(line.boxes.texts().first().section(QStringLiteral("\r\n"), 0, 0), message);
    }
    if (status == kReplyOk)
        QCOMPARE(line.replyBody(), "P0" + sim::readerVersionText(sim::ReaderModel::Kvr690));
    if (status == kReplyNegative)
        QCOMPARE(line.reply.at(0), 'N');

    if (fault.kind == sim::Fault::Kind::HangUp) {
        QVERIFY(!line.port.PortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!line.reader.isRunning(), kSettleMs);
        QVERIFY(line.reader.slavePath().isEmpty());
        // Back behind the same port number without mapping it again.
        QVERIFY(line.reader.start());
        QCOMPARE(openError(line.port), 0);
    }

    // The fault was for one exchange only.
    line.boxes.shown.clear();
    QCOMPARE(line.send("00"), kReplyOk);
    QVERIFY(line.boxes.shown.isEmpty());
}

void TestLoopback::bytesAtAnotherSpeedAreIgnored() {
    Line line(19200, 9600);
    QVERIFY(line.started);

    const QByteArray status = buildReaderFrame("10");
    line.port.setOutput(status);
    QTRY_COMPARE_WITH_TIMEOUT(line.fromProgram.load(), int(status.size()), kSettleMs);
    QVERIFY(!line.port.waitForInBufferCount(1, link::clock().nowMs() + 300));
    QCOMPARE(line.toProgram.load(), 0);

    // The speed the program sets on its open port reaches the device.
    line.port.setSettings(QStringLiteral("19200n81"));
    QCOMPARE(line.send("10"), kReplyOk);
}

void TestLoopback::onlyOneProgramHoldsTheLine() {
    Line line;
    QVERIFY(line.started);
    QCOMPARE(line.reader.slavePath(), QStringLiteral("loopback"));

    SerialComm second;
    second.setCommPort(kReaderPort);
    QCOMPARE(openError(second), int(kPortInUse));
    QCOMPARE(line.send("00"), kReplyOk);

    line.port.setPortOpen(false);
    QCOMPARE(openError(second), 0);
    QCOMPARE(openError(line.port), int(kPortInUse));
    second.setPortOpen(false);

    // A stopped device is a port that is not there; its holder sees a hang-up.
    QCOMPARE(openError(line.port), 0);
    line.reader.stop();
    QVERIFY(!line.port.PortOpen());
    QCOMPARE(openError(second), int(kPortNotFound));
}

void TestLoopback::answerBeforeTheWaitIsNotMissed() {
    Line line;
    QVERIFY(line.started);
    line.port.setPortOpen(false);
    const std::unique_ptr<SerialBackend> backend = portmap::createBackend(kReaderPort);
    backend->open(LineSettings{});

    // The ACK is in before the program counts or waits: the wait sees it at
    // once, as a driver's unread bytes are seen, rather than sit out its limit.
    backend->write(buildReaderFrame("10"));
    QTRY_COMPARE_WITH_TIMEOUT(line.toProgram.load(), 1, kSettleMs);
    QElapsedTimer wall;
    wall.start();
    QVERIFY(backend->waitForReadyRead(kSettleMs));
    QVERIFY(wall.elapsed() < kSettleMs);
    QCOMPARE(backend->read(16), QByteArray("\x06"));
    QVERIFY(!backend->waitForReadyRead(50)); // nothing new since
}

void TestLoopback::waitingForNothingSleeps() {
    Line line;
    QVERIFY(line.started);

    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = processCpuMs();
    QVERIFY(!line.port.waitForInBufferCount(1, link::clock().nowMs() + 1000));
    const qint64 waited = wall.elapsed();
    const qint64 cpu = processCpuMs() - cpuBefore;
    QVERIFY2(waited >= 990, qPrintable(QString::number(waited)));
    // Both ends count: the program's wait and the idle device thread.
    QVERIFY2(cpu * 5 < waited,
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(waited)));
}

void TestLoopback::wireTimeHoldsBackTheExchange() {
    Line line;
    QVERIFY(line.started);
    line.reader.setWireTime(true);

    QElapsedTimer wall;
    wall.start();
    QCOMPARE(line.send("00"), kReplyOk);
    const qint64 tookUs = wall.nsecsElapsed() / 1000;
    // Frame, ACK, ENQ and reply frame cross the line one after the other.
    const qint64 wireUs = (7 + 1 + 1 + 3 + line.replyLength) * 10 * 1'000'000 / 9600;
    QVERIFY2(tookUs >= wireUs, qPrintable(QStringLiteral("%1 us < %2 us").arg(tookUs).arg(wireUs)));
}

QTEST_GUILESS_MAIN(TestLoopback)
#include "test_loopback.moc"
