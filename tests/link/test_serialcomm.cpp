#include "link/clock.h"
#include "link/blockon.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "link/serialerror.h"
#include "support/ptyline.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <functional>

#include <cerrno>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvex::link;
using talvex::testing::PtyLine;

namespace {

constexpr int kPort = 7;
// Bytes through a pseudo-terminal take microseconds; the margin is for a
// loaded machine.
constexpr int kArrivalLimitMs = 5000;

// Wall and process CPU time since construction: a wait that sleeps uses
// next to no CPU, a spin uses all of it.
struct CpuWatch {
    static qint64 cpuNow() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
    }
    CpuWatch() { wall.start(); }
    qint64 cpu() const { return cpuNow() - cpu0; }
    QByteArray text() const {
        return QString("%1 ms CPU in %2 ms").arg(cpu()).arg(wall.elapsed()).toLatin1();
    }
    QElapsedTimer wall;
    qint64 cpu0 = cpuNow();
};

qint64 deadlineIn(qint64 ms) {
    return talvex::link::clock().nowMs() + ms;
}

int errorOf(const std::function<void()> &use) {
    try {
        use();
    } catch (const SerialError &e) {
        return e.number();
    }
    return 0;
}

void openOn(SerialComm &comm, PtyLine &line, int port = kPort) {
    portmap::mapPath(port, line.openPair());
    comm.setCommPort(port);
    comm.setPortOpen(true);
}

// Polls the count the way the exchange does, without the event loop.
bool countReaches(SerialComm &comm, int n) {
    QElapsedTimer timer;
    timer.start();
    while (comm.InBufferCount() < n && timer.elapsed() < kArrivalLimitMs)
        usleep(2000);
    return comm.InBufferCount() >= n;
}

} // namespace

class TestSerialComm : public QObject {
    Q_OBJECT

private slots:
    void init() { portmap::clear(); }
    void cleanup() { portmap::clear(); }

    void settingsText_data();
    void settingsText();
    void commandLine_data();
    void commandLine();

    void portErrors();
    void propertiesOfClosedPort_data();
    void propertiesOfClosedPort();

    void bytesCrossTheLine();
    void settingsReachTheLine();
    void inputTakesAtMostInputLen_data();
    void inputTakesAtMostInputLen();
    void timeoutWaitSleeps();
    void hangUpLeavesNothingSpinning_data();
    void hangUpLeavesNothingSpinning();
    void inputBufferIsBounded_data();
    void inputBufferIsBounded();
    void openFaultsAndTheirWords_data();
    void openFaultsAndTheirWords();
};

void TestSerialComm::settingsText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("canonical"); // empty: refused

    QTest::newRow("compact") << "9600n81" << QStringLiteral("9600,n,8,1");
    QTest::newRow("upper case") << "115200E72" << QStringLiteral("115200,e,7,2");
    QTest::newRow("odd, commas") << "1200,O,7,1" << QStringLiteral("1200,o,7,1");
    QTest::newRow("any positive baud") << "12345n81" << QStringLiteral("12345,n,8,1");
    QTest::newRow("empty") << "" << QString();
    QTest::newRow("no stop bits") << "9600n8" << QString();
    QTest::newRow("mark parity") << "9600m81" << QString();
    QTest::newRow("9 data bits") << "9600n91" << QString();
    QTest::newRow("3 stop bits") << "9600n83" << QString();
    QTest::newRow("zero baud") << "0n81" << QString();
    QTest::newRow("baud overflows") << "99999999999n81" << QString();
    QTest::newRow("blank inside") << "9600 n81" << QString();
    QTest::newRow("mixed separators") << "9600,n81" << QString();
    QTest::newRow("trailing comma") << "9600,n,8,1," << QString();
}

void TestSerialComm::settingsText() {
    QFETCH(QString, text);
    QFETCH(QString, canonical);

    SerialComm comm;
    comm.setSettings("4800,e,7,2");
    QCOMPARE(errorOf([&] { comm.setSettings(text); }), canonical.isEmpty() ? 380 : 0);
    // Refused settings leave the old ones.
    QCOMPARE(comm.Settings(), canonical.isEmpty() ? QString("4800,e,7,2") : canonical);
}

void TestSerialComm::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("rest");
    QTest::addColumn<QStringList>("mapped"); // "n=path" after parsing, ports 1..9
    QTest::addColumn<int>("errors");

    using L = QStringList;
    const L none;
    QTest::newRow("no options") << L{"talvex", "-x"} << L{"talvex", "-x"} << none << 0;
    QTest::newRow("joined value") << L{"talvex", "--port=COM3=/dev/ttyUSB0", "more"}
                                  << L{"talvex", "more"} << L{"3=/dev/ttyUSB0"} << 0;
    QTest::newRow("repeated") << L{"--port", "COM1=/dev/a", "--port=com2=/dev/b"} << none
                              << L{"1=/dev/a", "2=/dev/b"} << 0;
    QTest::newRow("later wins") << L{"--port=COM1=/dev/a", "--port=COM1=/dev/b"} << none
                                << L{"1=/dev/b"} << 0;
    QTest::newRow("mapped to nothing") << L{"--port", "COM4="} << none << L{"4="} << 0;
    QTest::newRow("missing value") << L{"talvex", "--port"} << L{"talvex"} << none << 1;
    QTest::newRow("no COM") << L{"--port=3=/dev/a"} << none << none << 1;
    QTest::newRow("no equals") << L{"--port", "COM3"} << none << none << 1;
    QTest::newRow("port 0") << L{"--port=COM0=/dev/a"} << none << none << 1;
    QTest::newRow("port 256") << L{"--port=COM256=/dev/a"} << none << none << 1;
    QTest::newRow("port 255") << L{"--port=COM255=/dev/a"} << none << none << 0;
}

void TestSerialComm::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, rest);
    QFETCH(QStringList, mapped);
    QFETCH(int, errors);

    QStringList reported;
    QCOMPARE(portmap::applyCommandLine(arguments, &reported), rest);
    QCOMPARE(reported.size(), errors);

    QStringList actual;
    for (int port = 1; port <= 9; ++port) {
        const QString path = portmap::devicePath(port);
        if (path != QString("/dev/ttyS%1").arg(port - 1))
            actual << QString("%1=%2").arg(port).arg(path);
    }
    QCOMPARE(actual, mapped);
}

void TestSerialComm::portErrors() {
    SerialComm comm;
    QStringList reasons;
    comm.setTroubleListener([&](const QString &r) { reasons << r; });
    QCOMPARE(comm.CommPort(), 1);
    QCOMPARE(errorOf([&] { comm.setCommPort(0); }), 380);
    QCOMPARE(errorOf([&] { comm.setCommPort(256); }), 380);
    QCOMPARE(comm.CommPort(), 1);
    QCOMPARE(errorOf([&] { comm.setCommPort(255); }), 0);
    QCOMPARE(comm.CommPort(), 255);
    comm.setCommPort(kPort);

    for (const QString &path : {QStringLiteral("/dev/talvex-no-such-device"), QString()}) {
        portmap::mapPath(kPort, path);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), 8002);
        QVERIFY(!comm.PortOpen());
    }
    // A port that does not exist has its own box; no further reason.
    QVERIFY(reasons.isEmpty());
    // A closed port may be closed again.
    QCOMPARE(errorOf([&] { comm.setPortOpen(false); }), 0);

    PtyLine line;
    openOn(comm, line);
    QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), 8005);
    QCOMPARE(errorOf([&] { comm.setCommPort(2); }), 8005);
    QCOMPARE(comm.CommPort(), kPort);
    QVERIFY(comm.PortOpen());

    // QSerialPort's lock file turns a second open of the same device away.
    SerialComm second;
    second.setTroubleListener([&](const QString &r) { reasons << r; });
    second.setCommPort(kPort);
    QCOMPARE(errorOf([&] { second.setPortOpen(true); }), 8005);
    QVERIFY(!second.PortOpen());
    QCOMPARE(reasons.size(), 1);
    QVERIFY2(reasons.first().endsWith(QStringLiteral("): the port is held by another program. "
                                                     "Close that program or choose another port.")),
             qPrintable(reasons.first()));
    comm.setPortOpen(false);
    QCOMPARE(errorOf([&] { second.setPortOpen(true); }), 0);
    QVERIFY(second.PortOpen());
}

void TestSerialComm::propertiesOfClosedPort_data() {
    QTest::addColumn<std::function<void(SerialComm &)>>("use");
    using Use = std::function<void(SerialComm &)>;
    QTest::newRow("InBufferCount") << Use([](SerialComm &c) { c.InBufferCount(); });
    QTest::newRow("InBufferCount = 0") << Use([](SerialComm &c) { c.setInBufferCount(0); });
    QTest::newRow("OutBufferCount") << Use([](SerialComm &c) { c.OutBufferCount(); });
    QTest::newRow("OutBufferCount = 0") << Use([](SerialComm &c) { c.setOutBufferCount(0); });
    QTest::newRow("InputLen") << Use([](SerialComm &c) { c.setInputLen(1); });
    QTest::newRow("Input") << Use([](SerialComm &c) { c.Input(); });
    QTest::newRow("Output bytes") << Use([](SerialComm &c) { c.setOutput(QByteArray("\x05")); });
    QTest::newRow("DTREnable") << Use([](SerialComm &c) { c.setDTREnable(false); });
    QTest::newRow("RTSEnable") << Use([](SerialComm &c) { c.setRTSEnable(false); });
    QTest::newRow("wait") << Use([](SerialComm &c) { talvex::link::blockOn(c.waitForInBufferCount(1, deadlineIn(100))); });
}

void TestSerialComm::propertiesOfClosedPort() {
    QFETCH(std::function<void(SerialComm &)>, use);

    SerialComm never;
    QCOMPARE(errorOf([&] { use(never); }), 8018);
    PtyLine line;
    SerialComm closed;
    openOn(closed, line);
    closed.setPortOpen(false);
    QCOMPARE(errorOf([&] { use(closed); }), 8018);
}

void TestSerialComm::bytesCrossTheLine() {
    PtyLine line;
    SerialComm comm;
    comm.setSettings("9600n81");
    openOn(comm, line);

    // A reset frame leaves at once, with no event loop to carry it.
    const QByteArray frame("\x02\x00\x02\x30\x30\x03\x03", 7);
    comm.setOutput(frame);
    QCOMPARE(line.read(frame.size()), frame);
    // Text goes out as its 8-bit characters.
    comm.setOutput(QString::fromLatin1("A\xE9\xFF"));
    QCOMPARE(line.read(3), QByteArray("A\xE9\xFF"));

    // The count rises while the caller polls, with no event processing.
    QCOMPARE(comm.InBufferCount(), 0);
    line.write(QByteArray("\x06", 1));
    QVERIFY(countReaches(comm, 1));
    line.write(QByteArray("\x02\x00\x00\x03", 4));
    QVERIFY(countReaches(comm, 5));
    QCOMPARE(comm.InBufferCount(), 5);
    QCOMPARE(comm.Input(), QByteArray("\x06\x02\x00\x00\x03", 5));
    QCOMPARE(comm.InBufferCount(), 0);
    QCOMPARE(comm.Input(), QByteArray());

    comm.setInputLen(3);
    QCOMPARE(errorOf([&] { comm.setInputLen(-1); }), 380);
    QCOMPARE(comm.InputLen(), 3);

    // A stale reply is thrown away before the next command.
    line.write("stale reply");
    QVERIFY(talvex::link::blockOn(comm.waitForInBufferCount(11, deadlineIn(kArrivalLimitMs))));
    QCOMPARE(errorOf([&] { comm.setInBufferCount(5); }), 380);
    comm.setInBufferCount(0);
    QCOMPARE(comm.InBufferCount(), 0);
    comm.setOutBufferCount(0);
    line.write("FG");
    QVERIFY(talvex::link::blockOn(comm.waitForInBufferCount(2, deadlineIn(kArrivalLimitMs))));
    comm.setInputLen(0);
    QCOMPARE(comm.Input(), QByteArray("FG"));

    // Dropping the modem lines before a close: a pseudo-terminal has none.
    QCOMPARE(errorOf([&] { comm.setDTREnable(false); }), 0);
    QCOMPARE(errorOf([&] { comm.setRTSEnable(false); }), 0);
}

void TestSerialComm::inputTakesAtMostInputLen_data() {
    QTest::addColumn<QByteArray>("counted"); // taken in by a count before the rest comes
    QTest::addColumn<QByteArray>("later");   // waiting in the driver, never counted
    QTest::addColumn<int>("inputLen");
    QTest::addColumn<QList<QByteArray>>("reads");

    using R = QList<QByteArray>;
    QTest::newRow("one counted, four more waiting, InputLen 3")
        << QByteArray("A") << QByteArray("BCDE") << 3 << R{"ABC", "DE", ""};
    QTest::newRow("nothing counted, three waiting, InputLen 1")
        << QByteArray() << QByteArray("\x06\x02\x00", 3) << 1
        << R{QByteArray("\x06", 1), QByteArray("\x02", 1), QByteArray("\x00", 1), ""};
    QTest::newRow("two counted, a header's worth waiting, InputLen 3")
        << QByteArray("\x02\x00", 2) << QByteArray("\x04P0AB", 5) << 3
        << R{QByteArray("\x02\x00\x04", 3), "P0A", "B", ""};
    QTest::newRow("InputLen 0 takes all, counted or not")
        << QByteArray("AB") << QByteArray("CDE") << 0 << R{"ABCDE", ""};
}

// The exchange sets InputLen before each read and relies on never getting
// more: bytes that arrived after the last count must stay for the next read.
void TestSerialComm::inputTakesAtMostInputLen() {
    QFETCH(QByteArray, counted);
    QFETCH(QByteArray, later);
    QFETCH(int, inputLen);
    QFETCH(QList<QByteArray>, reads);

    PtyLine line;
    SerialComm comm;
    openOn(comm, line);
    if (!counted.isEmpty()) {
        line.write(counted);
        QVERIFY(countReaches(comm, int(counted.size())));
    }
    line.write(later);
    // In the driver, not yet looked at: no count, no event loop.
    usleep(100 * 1000);
    comm.setInputLen(inputLen);
    for (const QByteArray &expected : reads)
        QCOMPARE(comm.Input(), expected);
}

void TestSerialComm::settingsReachTheLine() {
    PtyLine line;
    SerialComm comm;
    comm.setSettings("4800n81");
    openOn(comm, line);

    termios t = line.slaveSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B4800));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(0));

    // Settings written while the port is open change the open line.
    comm.setSettings("19200,o,8,2");
    t = line.slaveSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B19200));
    QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    QCOMPARE(comm.Settings(), QString("19200,o,8,2"));

    // A pseudo-terminal keeps 8 bits without parity; the rest still applies
    // and the port stays usable.
    comm.setSettings("2400,e,7,1");
    t = line.slaveSettings();
    QCOMPARE(cfgetospeed(&t), speed_t(B2400));
    QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(0));
    comm.setPortOpen(false);
    comm.setPortOpen(true);
    QVERIFY(comm.PortOpen());
    comm.setOutput(QByteArray("\x05"));
    QCOMPARE(line.read(1), QByteArray("\x05"));
}

void TestSerialComm::timeoutWaitSleeps() {
    PtyLine line;
    SerialComm comm;
    openOn(comm, line);
    line.write("x");
    QVERIFY(talvex::link::blockOn(comm.waitForInBufferCount(1, deadlineIn(kArrivalLimitMs))));

    // Waiting for a second byte that never comes: the whole limit passes
    // asleep in the kernel.
    const CpuWatch watch;
    QVERIFY(!talvex::link::blockOn(comm.waitForInBufferCount(2, deadlineIn(1000))));
    QVERIFY2(watch.wall.elapsed() >= 990, watch.text());
    QVERIFY2(watch.cpu() * 5 < watch.wall.elapsed(), watch.text());
    QCOMPARE(comm.InBufferCount(), 1);
}

void TestSerialComm::hangUpLeavesNothingSpinning_data() {
    QTest::addColumn<int>("when");
    QTest::newRow("before a wait") << 0;
    QTest::newRow("during a wait") << 1;
    // Between exchanges the window's event loop runs; a line that hangs up
    // then must not keep the loop busy.
    QTest::newRow("under the event loop") << 2;
    // Nothing looked at the line since it went: the next command's frame.
    QTest::newRow("before a write") << 3;
}

void TestSerialComm::hangUpLeavesNothingSpinning() {
    QFETCH(int, when);
    PtyLine line;
    SerialComm comm;
    QStringList reasons;
    comm.setTroubleListener([&](const QString &r) { reasons << r; });
    openOn(comm, line);

    const pid_t child = when == 1 ? line.hangUpLater(300) : -1;
    if (when != 1)
        line.close();
    const CpuWatch watch;
    if (when == 2) {
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
    } else if (when == 3) {
        QCOMPARE(errorOf([&] { comm.setOutput(QByteArray("\x02\x00\x02\x31\x30\x03\x02")); }),
                 int(kPortIoFailed));
    } else {
        const int error = errorOf([&] { talvex::link::blockOn(comm.waitForInBufferCount(1, deadlineIn(8000))); });
        QCOMPARE(error, 8020);
    }
    QVERIFY2(watch.wall.elapsed() < 6000, watch.text());
    QVERIFY2(watch.cpu() * 5 < std::max<qint64>(watch.wall.elapsed(), 300), watch.text());
    if (child > 0)
        waitpid(child, nullptr, 0);
    // The port stays open as the window left it, refusing every data property
    // until it is closed; DTR and RTS go quietly so that the close can follow.
    QVERIFY(comm.PortOpen());
    QCOMPARE(errorOf([&] { comm.setOutput(QByteArray("\x05")); }), 8020);
    QCOMPARE(errorOf([&] { comm.InBufferCount(); }), 8020);
    QCOMPARE(errorOf([&] { comm.setCommPort(kPort + 1); }), 8005);
    QCOMPARE(errorOf([&] { comm.setRTSEnable(false); }), 0);
    QCOMPARE(errorOf([&] { comm.setDTREnable(false); }), 0);
    QCOMPARE(reasons.size(), 1);
    QVERIFY2(reasons.first().startsWith(QStringLiteral("COM7 (/dev/pts/")),
             qPrintable(reasons.first()));
    QVERIFY(reasons.first().endsWith(
        QStringLiteral("): the device went away (unplugged or switched off?). Bring it back, then "
                       "use Setup Comm again.")));
    QCOMPARE(comm.lineTrouble(), reasons.first());
    comm.setPortOpen(false);
    QVERIFY(!comm.PortOpen());
    QCOMPARE(errorOf([&] { comm.InBufferCount(); }), 8018);

    // The port number may change again, and a new line opens as usual and
    // clears the reason.
    PtyLine other;
    openOn(comm, other, kPort + 1);
    comm.setOutput(QByteArray("\x05"));
    QCOMPARE(other.read(1), QByteArray("\x05"));
    QCOMPARE(reasons,
             (QStringList{reasons.first(), "COM7: the port is not open. Use Setup Comm to open it.",
                          QString()}));
}

void TestSerialComm::inputBufferIsBounded_data() {
    QTest::addColumn<bool>("eventLoop");
    QTest::newRow("counted without the event loop") << false;
    // The window idles in its event loop while a device keeps sending.
    QTest::newRow("arriving under the event loop") << true;
}

void TestSerialComm::inputBufferIsBounded() {
    QFETCH(bool, eventLoop);
    PtyLine line;
    SerialComm comm;
    openOn(comm, line);

    // 64 KB is far more than a pseudo-terminal holds: unless the program keeps
    // taking the bytes, the sender blocks.
    QByteArray sent;
    for (int i = 0; i < 64 * 1024; ++i)
        sent.append(char('A' + i % 26));
    QElapsedTimer timer;
    timer.start();
    for (qsizetype at = 0; at < sent.size() && timer.elapsed() < kArrivalLimitMs;) {
        at += line.writeSome(sent.mid(at, 1024));
        if (eventLoop)
            QCoreApplication::processEvents();
        else
            comm.InBufferCount();
    }
    QVERIFY2(timer.elapsed() < kArrivalLimitMs, "the sender was held up");
    QCOMPARE(comm.InBufferCount(), 4096);
    // The oldest bytes stay, what did not fit was dropped.
    comm.setInputLen(0);
    QCOMPARE(comm.Input(), sent.left(4096));
    line.write("ZZ");
    QVERIFY(talvex::link::blockOn(comm.waitForInBufferCount(2, deadlineIn(kArrivalLimitMs))));
    QCOMPARE(comm.Input(), QByteArray("ZZ"));
}

void TestSerialComm::openFaultsAndTheirWords_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("words");
    const QString denied = "permission denied. Your user needs access to the serial device, e.g. "
                           "membership of the dialout group: sudo usermod -aG dialout $USER, then "
                           "log out and in again.";
    const QString held = "the port is held by another program. Close that program or choose "
                         "another port.";
    QTest::newRow("EACCES") << EACCES << denied;
    QTest::newRow("EPERM") << EPERM << denied;
    QTest::newRow("EBUSY") << EBUSY << held;
    QTest::newRow("device free, lock file held") << 0 << held;
    QTest::newRow("ENOENT") << ENOENT << QString();
}

void TestSerialComm::openFaultsAndTheirWords() {
    QFETCH(int, error);
    QFETCH(QString, words);
    QCOMPARE(lineFaultText(openFaultFromErrno(error)), words);
}

QTEST_GUILESS_MAIN(TestSerialComm)
#include "test_serialcomm.moc"
