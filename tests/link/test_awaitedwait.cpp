// The awaited waits of the serial component, the commands that hold a line,
// and the exchange on top of them, in real time: on a pseudo-terminal whose
// far end the test holds, and on the in-process line of a simulated reader
// whose bytes reach the program from the device's own thread.

#include "link/blockon.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/operations.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "link/serialerror.h"
#include "sim/fault.h"
#include "sim/readersim.h"
#include "support/ptyline.h"
#include "support/recordingmessageboxes.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace talvex;
using namespace talvex::link;
using talvex::testing::PtyLine;
using talvex::testing::RecordingMessageBoxes;

enum class Carrier { Pty, Loopback };
Q_DECLARE_METATYPE(Carrier)

namespace {

constexpr int kPort = 7;
const QByteArray kStatusFrame = QByteArray::fromHex("02000231300302");

// On a loaded machine with two cores a wake-up may come late; what matters is
// that nothing waits for a limit it need not wait for.
constexpr qint64 kLateMs = 1000;

// The program's clock running fast, as a real-time clock: the limits pass in
// a fraction of the time.
class ScaledClock final : public Clock {
public:
    explicit ScaledClock(int scale) : m_scale(scale) { m_wall.start(); }
    qint64 nowMs() const override {
        return 1'000'000 + m_wall.nsecsElapsed() * m_scale / 1'000'000;
    }
    void sleepMs(qint64 ms) override { QTest::qSleep(int(wallMs(ms))); }
    bool realTime() const override { return true; }
    qint64 wallMs(qint64 ms) const override { return (ms + m_scale - 1) / m_scale; }

private:
    QElapsedTimer m_wall;
    int m_scale;
};

// A 10 ms repeating timer: how often the event loop got its turn meanwhile.
class Ticker {
public:
    Ticker() {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { ++ticks; });
        m_timer.start();
    }
    int ticks = 0;

private:
    QTimer m_timer;
};

// A line opened by the serial component, whose far end the test plays: its
// own pseudo-terminal, or a simulated KVR-690 on the in-process line.
struct Line {
    explicit Line(Carrier c) : carrier(c) {
        comm = std::make_unique<SerialComm>();
        comm->setCommPort(kPort);
        if (carrier == Carrier::Pty) {
            portmap::mapPath(kPort, pty.openPair());
        } else {
            reader = std::make_unique<sim::ReaderSim>(sim::ReaderModel::Kvr690, 9600,
                                                      sim::Transport::Loopback);
            reader->start();
            reader->mapToPort(kPort);
        }
        comm->setPortOpen(true);
    }
    ~Line() { portmap::unmap(kPort); }

    // One byte reaches the program ms from now: the reader's ACK, held back.
    void byteIn(int ms) {
        if (carrier == Carrier::Pty) {
            QTimer::singleShot(ms, &context, [this] { pty.write(QByteArray(1, char(ACK))); });
        } else {
            reader->injectFault(sim::Fault::delay(ms));
            comm->setOutput(kStatusFrame);
        }
    }
    void later(int ms, std::function<void()> act) { QTimer::singleShot(ms, &context, act); }
    void hangUpIn(int ms) {
        later(ms, [this] {
            if (carrier == Carrier::Pty)
                pty.close();
            else
                reader->stop();
        });
    }

    Carrier carrier;
    PtyLine pty;
    std::unique_ptr<sim::ReaderSim> reader;
    std::unique_ptr<SerialComm> comm;
    QObject context;
};

// What an awaited call ended with, and after how long.
struct Outcome {
    QString end;
    qint64 ms = 0;
};

Outcome await(const std::function<QCoro::Task<bool>()> &call) {
    QElapsedTimer t;
    t.start();
    QString end;
    try {
        end = blockOn(call()) ? QStringLiteral("true") : QStringLiteral("false");
    } catch (const SerialError &e) {
        end = QStringLiteral("SerialError %1").arg(e.number());
    } catch (const Abandoned &) {
        end = QStringLiteral("Abandoned");
    }
    return {end, t.elapsed()};
}

QCoro::Task<bool> pauseThenTrue(SerialComm &line, qint32 ms) {
    co_await DelayMs(line, ms);
    co_return true;
}

// A window's command: member coroutines that note how far they got.
struct Commands {
    QCoro::Task<> awaitByte(SerialComm *line, qint64 limitMs) {
        steps << QStringLiteral("sent");
        const bool got = co_await line->waitForInBufferCount(1, link::clock().nowMs() + limitMs);
        steps << (got ? QStringLiteral("answered ") + line->Input().toHex()
                      : QStringLiteral("no answer"));
    }
    QCoro::Task<> note(QString step) {
        steps << step;
        co_return;
    }
    QStringList steps;
};

} // namespace

class TestAwaitedWait : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { portmap::clear(); }

    void waitEnds_data();
    void waitEnds();
    void delayWaitsItsTime_data();
    void delayWaitsItsTime();
    void oneCommandALine();
    void pollGivesWay();
    void goneOperationsFreeTheirLine();
    void wokenHandlerEndsItsLine();
    void silentReaderInRealTime_data();
    void silentReaderInRealTime();
    // Last: the application stays quitting for the rest of the process.
    void runToEndOutlivesAQuit();
};

void TestAwaitedWait::waitEnds_data() {
    QTest::addColumn<Carrier>("carrier");
    QTest::addColumn<std::function<void(Line &)>>("meanwhile");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("atLeastMs"); // the wait may not end before
    QTest::addColumn<int>("byMs");      // ... nor much after

    using Act = std::function<void(Line &)>;
    for (const auto &[carrier, name] :
         {std::pair{Carrier::Pty, "pty"}, std::pair{Carrier::Loopback, "loopback"}}) {
        const auto row = [name = name](const char *what) -> QTestData & {
            return QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(name, what)));
        };
        row("the byte comes after 200 ms")
            << carrier << Act([](Line &l) { l.byteIn(200); }) << 5000 << "true" << 190 << 200;
        row("nothing within 300 ms")
            << carrier << Act([](Line &) {}) << 300 << "false" << 300 << 300;
        row("hang-up after 200 ms") << carrier << Act([](Line &l) { l.hangUpIn(200); }) << 8000
                                    << "SerialError 8020" << 190 << 200;
        row("port closed after 200 ms")
            << carrier << Act([](Line &l) { l.later(200, [&l] { l.comm->setPortOpen(false); }); })
            << 5000 << "Abandoned" << 190 << 200;
        row("component destroyed after 200 ms")
            << carrier << Act([](Line &l) { l.later(200, [&l] { l.comm.reset(); }); }) << 5000
            << "Abandoned" << 190 << 200;
        row("wait abandoned after 200 ms")
            << carrier << Act([](Line &l) { l.later(200, [&l] { l.comm->abandonWait(); }); })
            << 5000 << "Abandoned" << 190 << 200;
    }
}

void TestAwaitedWait::waitEnds() {
    QFETCH(Carrier, carrier);
    QFETCH(std::function<void(Line &)>, meanwhile);
    QFETCH(int, limitMs);
    QFETCH(QString, end);
    QFETCH(int, atLeastMs);
    QFETCH(int, byMs);

    Line line(carrier);
    SerialComm *comm = line.comm.get();
    meanwhile(line);
    const Ticker ticker;
    const Outcome o =
        await([&] { return comm->waitForInBufferCount(1, link::clock().nowMs() + limitMs); });
    QCOMPARE(o.end, end);
    QVERIFY2(o.ms >= atLeastMs && o.ms <= byMs + kLateMs, qPrintable(QString::number(o.ms)));
    // The window's timers kept their pace: a 10 ms timer fired all along.
    QVERIFY2(ticker.ticks >= atLeastMs / 10 / 4, qPrintable(QString::number(ticker.ticks)));
    if (end == QLatin1String("true"))
        QCOMPARE(comm->Input(), QByteArray(1, char(ACK)));
}

void TestAwaitedWait::delayWaitsItsTime_data() {
    QTest::addColumn<Carrier>("carrier");
    QTest::addColumn<int>("ms");
    QTest::addColumn<bool>("byteMeanwhile");
    QTest::addColumn<int>("closeAfterMs"); // 0: the port stays open
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("atLeastMs");

    QTest::newRow("pty: 250 ms, a byte after 50")
        << Carrier::Pty << 250 << true << 0 << "true" << 250;
    QTest::newRow("loopback: 250 ms, a byte after 50")
        << Carrier::Loopback << 250 << true << 0 << "true" << 250;
    QTest::newRow("pty: 2000 ms, closed after 100")
        << Carrier::Pty << 2000 << false << 100 << "Abandoned" << 100;
    QTest::newRow("loopback: 2000 ms, closed after 100")
        << Carrier::Loopback << 2000 << false << 100 << "Abandoned" << 100;
}

void TestAwaitedWait::delayWaitsItsTime() {
    QFETCH(Carrier, carrier);
    QFETCH(int, ms);
    QFETCH(bool, byteMeanwhile);
    QFETCH(int, closeAfterMs);
    QFETCH(QString, end);
    QFETCH(int, atLeastMs);

    Line line(carrier);
    if (byteMeanwhile)
        line.byteIn(50);
    if (closeAfterMs > 0)
        line.later(closeAfterMs, [&line] { line.comm->setPortOpen(false); });
    const Ticker ticker;
    const Outcome o = await([&] { return pauseThenTrue(*line.comm, ms); });
    QCOMPARE(o.end, end);
    // The pause keeps to its own clock; this one, read a moment apart, may
    // differ by a millisecond of rounding.
    QVERIFY2(o.ms >= atLeastMs - 1 && o.ms <= atLeastMs + kLateMs,
             qPrintable(QString::number(o.ms)));
    QVERIFY2(ticker.ticks >= atLeastMs / 10 / 4, qPrintable(QString::number(ticker.ticks)));
    if (byteMeanwhile)
        QCOMPARE(line.comm->InBufferCount(), 1);
}

void TestAwaitedWait::oneCommandALine() {
    Line line(Carrier::Pty);
    SerialComm &comm = *line.comm;
    QStringList refusals;
    Operations ops([&](SerialComm &l) { refusals << busyLineText(l); });
    Commands first;
    Commands second;

    QVERIFY(ops.run(comm, [&] { return first.awaitByte(&comm, 5000); }));
    QVERIFY(comm.busy());
    QVERIFY(ops.running());
    QCOMPARE(Operations::runningAnywhere(), 1);
    QCOMPARE(first.steps, QStringList{"sent"});

    // A click on the busy line: refused aloud, its handler never runs.
    QVERIFY(!ops.run(comm, [&] { return second.note("clicked"); }));
    QCOMPARE(refusals, QStringList{"COM7 is busy with the command before; this one was not sent."});
    // A timer's tick on it: skipped in silence.
    QVERIFY(!ops.run(
        comm, [&] { return second.note("ticked"); }, Operations::Start::Timer));
    QCOMPARE(refusals.size(), 1);
    QCOMPARE(second.steps, QStringList());

    // Another line is free for a command of the same window.
    PtyLine otherPty;
    portmap::mapPath(kPort + 1, otherPty.openPair());
    SerialComm other;
    other.setCommPort(kPort + 1);
    other.setPortOpen(true);
    QVERIFY(ops.run(other, [&] { return second.note("other line"); }));
    QCOMPARE(second.steps, QStringList{"other line"});
    QVERIFY(!other.busy());

    line.pty.write(QByteArray(1, char(ACK)));
    QTRY_VERIFY_WITH_TIMEOUT(!comm.busy(), 5000);
    QCOMPARE(first.steps, (QStringList{"sent", "answered 06"}));
    QVERIFY(!ops.running());
    QCOMPARE(Operations::runningAnywhere(), 0);
    QCOMPARE(refusals.size(), 1);
}

void TestAwaitedWait::pollGivesWay() {
    Line line(Carrier::Pty);
    SerialComm &comm = *line.comm;
    QStringList refusals;
    Operations ops([&](SerialComm &l) { refusals << busyLineText(l); });
    Commands poll;
    Commands others;

    QVERIFY(ops.run(
        comm, [&] { return poll.awaitByte(&comm, 5000); }, Operations::Start::Poll));
    // The next poll tick on the busy line is skipped.
    QVERIFY(!ops.run(
        comm, [&] { return others.note("polled"); }, Operations::Start::Poll));
    // A click waits for the poll to end; a second one meanwhile is refused aloud.
    QVERIFY(ops.run(comm, [&] { return others.note("clicked"); }));
    QVERIFY(!ops.run(comm, [&] { return others.note("clicked again"); }));
    QCOMPARE(refusals, QStringList{"COM7 is busy with the command before; this one was not sent."});
    QCOMPARE(others.steps, QStringList());

    line.pty.write(QByteArray(1, char(ACK)));
    QTRY_COMPARE_WITH_TIMEOUT(others.steps, QStringList{"clicked"}, 5000);
    QCOMPARE(poll.steps, (QStringList{"sent", "answered 06"}));
    QVERIFY(!comm.busy());

    // A step tick behind a poll goes too; closing the port drops it unsent.
    QVERIFY(ops.run(
        comm, [&] { return poll.awaitByte(&comm, 5000); }, Operations::Start::Poll));
    QVERIFY(ops.run(
        comm, [&] { return others.note("ticked"); }, Operations::Start::Timer));
    comm.setPortOpen(false);
    QVERIFY(!comm.busy());
    QTest::qWait(50);
    QCOMPARE(poll.steps, (QStringList{"sent", "answered 06", "sent"}));
    QCOMPARE(others.steps, QStringList{"clicked"});
    QCOMPARE(Operations::runningAnywhere(), 0);
}

void TestAwaitedWait::goneOperationsFreeTheirLine() {
    for (const Carrier carrier : {Carrier::Pty, Carrier::Loopback}) {
        Line line(carrier);
        SerialComm &comm = *line.comm;
        Commands commands;
        int refused = 0;
        auto ops = std::make_unique<Operations>([&](SerialComm &) { ++refused; });
        QVERIFY(ops->run(comm, [&] { return commands.awaitByte(&comm, 5000); }));
        QTest::qWait(50);
        QVERIFY(comm.busy());

        ops.reset(); // the window closes
        QVERIFY(!comm.busy());
        QCOMPARE(Operations::runningAnywhere(), 0);
        QCOMPARE(commands.steps, QStringList{"sent"});
        // The port stays open and takes the next window's command.
        QVERIFY(comm.PortOpen());
        Operations next;
        QVERIFY(next.run(comm, [&] { return commands.note("next"); }));
        QCOMPARE(commands.steps, (QStringList{"sent", "next"}));
        QCOMPARE(refused, 0);
    }
}

// A handler goes on right where its answer is told, inside the transport's
// own report: whatever it does to its line there, the transport stays whole
// until the report is over (the sanitizer pass holds the proof), and the
// device is free at once for whoever opens it next.
void TestAwaitedWait::wokenHandlerEndsItsLine() {
    enum class End { Close, Destroy, CloseAndReopen };
    for (const Carrier carrier : {Carrier::Pty, Carrier::Loopback}) {
        for (const End end : {End::Close, End::Destroy, End::CloseAndReopen}) {
            const QString row = QStringLiteral("%1, end %2")
                                    .arg(carrier == Carrier::Pty ? "pty" : "loopback")
                                    .arg(int(end));
            Line line(carrier);
            QStringList steps;
            auto handler = [&]() -> QCoro::Task<> {
                const bool got = co_await line.comm->waitForInBufferCount(
                    1, link::clock().nowMs() + 5000);
                steps << (got ? QStringLiteral("answered") : QStringLiteral("no answer"));
                if (end == End::Destroy) {
                    line.comm.reset();
                    co_return;
                }
                line.comm->setPortOpen(false);
                if (end == End::CloseAndReopen) {
                    line.comm->setPortOpen(true);
                    steps << (line.comm->PortOpen() ? QStringLiteral("open again")
                                                    : QStringLiteral("closed"));
                }
            };
            line.byteIn(50);
            blockOn(handler());
            QTest::qWait(20); // the transport's report ends, and what it left goes
            QStringList expected{"answered"};
            if (end == End::CloseAndReopen)
                expected << "open again";
            QVERIFY2(steps == expected, qPrintable(row + ": " + steps.join(", ")));
            if (line.comm)
                line.comm->setPortOpen(false);
        }
    }
}

void TestAwaitedWait::silentReaderInRealTime_data() {
    QTest::addColumn<Carrier>("carrier");
    QTest::newRow("pty") << Carrier::Pty;
    QTest::newRow("loopback") << Carrier::Loopback;
}

void TestAwaitedWait::silentReaderInRealTime() {
    QFETCH(Carrier, carrier);

    RecordingMessageBoxes shown;
    ScaledClock scaled(10); // the 3 s limit passes in 300 ms
    const ScopedClock scoped(scaled);
    sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600,
                          carrier == Carrier::Pty ? sim::Transport::Pty : sim::Transport::Loopback);
    QVERIFY(reader.start());
    reader.mapToPort(kPort);
    reader.injectFault(sim::Fault::of(sim::Fault::Kind::Silence));
    SerialComm port;
    port.setCommPort(kPort);
    port.setPortOpen(true);
    ReaderLinkState state(port);
    state.m_portSetUp = true;

    QByteArray buffer = newReplyBuffer();
    qint16 length = 0;
    const Ticker ticker;
    const qint64 from = link::clock().nowMs();
    const ReplyStatus result =
        blockOn(SendReaderCommand(state, kStatusFrame, int(kStatusFrame.size()), buffer, length));
    const qint64 took = link::clock().nowMs() - from;

    QCOMPARE(int(result), -1);
    QCOMPARE(state.m_log, QStringLiteral("SD: 02 00 02 31 30 03 02 \r\n"));
    QCOMPARE(length, qint16(0));
    QCOMPARE(
        shown.texts(),
        QStringList{"Communication Error\r\nPossible causes:\r\n1)Communication setup error\r\n"
                    "2)Wrong model selected\r\n3)No connected\r\n4)No power on unit"});
    // The whole 3 s limit on the program's clock, and not much more, with the
    // event loop running all along.
    QVERIFY2(took >= 3000 && took <= 3000 + kLateMs * 10, qPrintable(QString::number(took)));
    QVERIFY2(ticker.ticks >= 10, qPrintable(QString::number(ticker.ticks)));
    port.setPortOpen(false);
}

// A benchmark quits its application from a timer while a call that a test
// or benchmark runs to its end still waits: the call must still end, with its
// own result, before anything of it is let go.
void TestAwaitedWait::runToEndOutlivesAQuit() {
    Line line(Carrier::Pty);
    QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
    const Outcome o =
        await([&] { return line.comm->waitForInBufferCount(1, link::clock().nowMs() + 300); });
    QCOMPARE(o.end, QStringLiteral("false"));
    QVERIFY2(o.ms >= 300, qPrintable(QString::number(o.ms)));
    // Closing the port afterwards resumes nothing that is gone.
    line.comm->setPortOpen(false);
}

QTEST_GUILESS_MAIN(TestAwaitedWait)
#include "test_awaitedwait.moc"
