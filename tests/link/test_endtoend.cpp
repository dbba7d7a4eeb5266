// The program side against a simulated reader, over both transports a
// simulator offers: a real pseudo-terminal and the in-process loopback.

#include "link/clock.h"
#include "link/blockon.h"
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
using sim::Transport;

Q_DECLARE_METATYPE(talvex::sim::Transport)

namespace {

constexpr int kReaderPort = 11;
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

// The reader window's port and state with a simulated reader behind the port
// number. The listener counts the bytes the device saw in each direction.
class Line {
public:
    explicit Line(Transport transport, sim::ReaderModel model = sim::ReaderModel::Kvr690,
                  int readerBaud = 9600, int programBaud = 9600)
        : reader(model, readerBaud, transport) {
        reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            (d == sim::Direction::FromProgram ? fromProgram : toProgram) += int(bytes.size());
        });
        QString error;
        started = reader.start(&error);
        if (!started) {
            qWarning("simulated reader did not start: %s", qPrintable(error));
            return;
        }
        reader.mapToPort(kReaderPort);
        port.setCommPort(kReaderPort);
        port.setSettings(QStringLiteral("%1n81").arg(programBaud));
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
        return link::blockOn(SendReaderCommand(state, frame, int(frame.size()), reply, replyLength));
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

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void replies_data() { transports(); }
    void replies();
    void hangUpMidExchangeLeavesNothingSpinning_data() { transports(); }
    void hangUpMidExchangeLeavesNothingSpinning();
    void bytesAtAnotherSpeedAreIgnored_data() { transports(); }
    void bytesAtAnotherSpeedAreIgnored();
    void onlyOneProgramHoldsALoopbackLine();
    void loopbackAnswerBeforeTheWaitIsNotMissed();

private:
    static void transports() {
        QTest::addColumn<Transport>("transport");
        QTest::newRow("pty") << Transport::Pty;
        QTest::newRow("loopback") << Transport::Loopback;
    }
};

void TestEndToEnd::replies() {
    QFETCH(Transport, transport);
    Line line(transport, sim::ReaderModel::Kvr638);
    QVERIFY(line.started);

    QCOMPARE(int(line.send("00")), 0);
    QCOMPARE(line.replyBody(), "P0" + sim::readerVersionText(sim::ReaderModel::Kvr638));
    QCOMPARE(quint8(line.reply.at(line.replyLength - 2)), ETX);
    QVERIFY(line.state.m_log.startsWith(QStringLiteral("SD: 02 00 02 30 30 03 03 \r\nRD: 06\r\n"
                                                       "SD: 05\r\nRD: 02 00 ")));
    QVERIFY(line.state.m_log.endsWith(QStringLiteral(" \r\n\r\n")));

    // The status follows the card the reader holds.
    QCOMPARE(int(line.send("10")), 0);
    QCOMPARE(line.reply.at(0), 'P');
    QCOMPARE(line.reply.at(2), 'N');
    line.reader.setCard(sim::SimCard{sim::CardKind::Plain, sim::CardPlace::Inside});
    QCOMPARE(int(line.send("10")), 0);
    QCOMPARE(line.reply.at(2), 'J');
    QVERIFY(line.boxes.shown.isEmpty());
}

void TestEndToEnd::hangUpMidExchangeLeavesNothingSpinning() {
    QFETCH(Transport, transport);
    Line line(transport);
    QVERIFY(line.started);
    QCOMPARE(int(line.send("00")), 0);

    line.reader.injectFault(sim::Fault::of(sim::Fault::Kind::HangUp));
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = processCpuMs();
    // A port operation refused in the middle: nothing had been judged, so the
    // result stands at 0, and nothing of the broken exchange is logged.
    QCOMPARE(int(line.send("10")), 0);
    const qint64 exchangeWall = wall.elapsed();
    const qint64 exchangeCpu = processCpuMs() - cpuBefore;

    QCOMPARE(line.boxes.texts(),
             QStringList{QStringLiteral("Error:Please check the data effective")});
    QCOMPARE(line.boxes.shown.first().title, QStringLiteral("Caution"));
    QCOMPARE(line.state.m_log, QString());
    QCOMPARE(line.replyLength, qint16(0));
    // The line's end wakes the wait well inside the 3 s limit, and the wait
    // slept: a spin would use its whole length.
    QVERIFY2(exchangeWall < 2000, qPrintable(QString::number(exchangeWall)));
    QVERIFY2(exchangeCpu < 300 + exchangeWall / 4,
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(exchangeCpu).arg(exchangeWall)));
    // The port stays open as the window left it; the reason is the line's own.
    QVERIFY(line.port.PortOpen());
    QVERIFY2(line.port.lineTrouble().startsWith(QStringLiteral("COM11")) &&
                 line.port.lineTrouble().contains(QStringLiteral("went away")),
             qPrintable(line.port.lineTrouble()));

    // Nothing left running on our side: a second of idling costs next to no CPU,
    // and the next command is refused at once by the dead line.
    const qint64 idleBefore = processCpuMs();
    link::blockOn(DelayMs(line.port, 1000));
    QCOMPARE(int(line.send("10")), 0);
    const qint64 idleCpu = processCpuMs() - idleBefore;
    QVERIFY2(idleCpu < 200, qPrintable(QStringLiteral("%1 ms CPU while idle").arg(idleCpu)));
    QCOMPARE(line.boxes.shown.size(), 2);
    QCOMPARE(line.boxes.shown.last().text, QStringLiteral("Error:Please check the data effective"));
    QVERIFY(line.port.PortOpen());
    QTRY_VERIFY_WITH_TIMEOUT(!line.reader.isRunning(), kSettleMs);

    // The device can be brought back behind the same port number; the next
    // setup closes the dead line and opens the new one.
    QVERIFY(line.reader.start());
    line.reader.mapToPort(kReaderPort);
    line.port.setPortOpen(false);
    QCOMPARE(openError(line.port), 0);
    QCOMPARE(line.port.lineTrouble(), QString());
    QCOMPARE(int(line.send("00")), 0);
}

void TestEndToEnd::bytesAtAnotherSpeedAreIgnored() {
    QFETCH(Transport, transport);
    Line line(transport, sim::ReaderModel::Kvr690, 19200, 9600);
    QVERIFY(line.started);

    const QByteArray status = buildReaderFrame("10");
    line.port.setOutput(status);
    QTRY_COMPARE_WITH_TIMEOUT(line.fromProgram.load(), int(status.size()), kSettleMs);
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = processCpuMs();
    QVERIFY(!link::blockOn(line.port.waitForInBufferCount(1, link::clock().nowMs() + 500)));
    const qint64 waited = wall.elapsed();
    const qint64 cpu = processCpuMs() - cpuBefore;
    QCOMPARE(line.toProgram.load(), 0);
    // Both ends waited, the program for bytes and the device for its next
    // deadline; neither may spin.
    QVERIFY2(cpu * 5 < waited,
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(waited)));

    // The speed the program sets on its open port reaches the device.
    line.port.setSettings(QStringLiteral("19200n81"));
    QCOMPARE(int(line.send("10")), 0);
}

void TestEndToEnd::onlyOneProgramHoldsALoopbackLine() {
    Line line(Transport::Loopback);
    QVERIFY(line.started);

    SerialComm second;
    second.setCommPort(kReaderPort);
    QCOMPARE(openError(second), 8005);
    QCOMPARE(int(line.send("00")), 0);

    line.port.setPortOpen(false);
    QCOMPARE(openError(second), 0);
    QCOMPARE(openError(line.port), 8005);
    second.setPortOpen(false);

    // A stopped device is a port that is not there, even to a program that
    // still holds it.
    QCOMPARE(openError(line.port), 0);
    line.reader.stop();
    QCOMPARE(openError(second), 8002);
}

void TestEndToEnd::loopbackAnswerBeforeTheWaitIsNotMissed() {
    Line line(Transport::Loopback);
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

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
