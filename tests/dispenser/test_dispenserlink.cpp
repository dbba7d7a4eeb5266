// Both dispenser links on a scripted line in fake time: frames, waits,
// result words and the traffic log lines.

#include "support/fakeclock.h"
#include "support/scriptedbackend.h"

#include "dispenser/dispenserlink.h"
#include "link/blockon.h"
#include "link/clock.h"
#include "link/portmap.h"
#include "link/serialcomm.h"

#include <QtTest>

using namespace talvex;
using namespace talvex::dispenser;
using talvex::testing::FakeClock;
using talvex::testing::ScriptedBackend;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

class Log final : public TrafficLog {
public:
    bool keep() const override { return record; }
    void clear() override { text.clear(); }
    void append(const QString &t) override { text += t; }
    bool record = false;
    QString text;
};

constexpr int kPort = 9;

// A port on a scripted dispenser, the log, and the errors the link reported.
struct Bench {
    Bench() {
        // The port owns the line; the test reaches it while the port is open.
        link::portmap::mapBackend(kPort, [this] {
            auto owned = std::make_unique<ScriptedBackend>(clock);
            line = owned.get();
            return owned;
        });
        port.setCommPort(kPort);
        port.setPortOpen(true);
    }
    ~Bench() { link::portmap::unmap(kPort); }

    FakeClock clock;
    link::ScopedClock scoped{clock};
    ScriptedBackend *line = nullptr;
    link::SerialComm port;
    Log log;
    QList<int> errors;
    QStringList causes;
    Link820 k820{port, log, [this](int n) { errors << n; },
                 [this](const QString &c) { causes << c; }};
    Link840 k840{port, log, [this](int n) { errors << n; },
                 [this](const QString &c) { causes << c; }};
};

} // namespace

class TestDispenserLink : public QObject {
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void kvr820Exchange_data();
    void kvr820Exchange();
    void kvr820Refused_data();
    void kvr820Refused();
    void kvr840Command_data();
    void kvr840Command();
    void kvr840Status_data();
    void kvr840Status();
    void longFramesWrap();
    void recordDataKeepsTheLog();
    void closedPortReports8018();
};

void TestDispenserLink::frames_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("820 RS, BCC 00") << QByteArray("RS") << hex("0252530300");
    QTest::newRow("840 CSB4 at 07") << QByteArray("07CSB4") << hex("023037435342340360");
}

void TestDispenserLink::frames() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, frame);
    QCOMPARE(commandFrame(text), frame);
    QCOMPARE(Bcc820(text), quint8(frame.back()));
    QCOMPARE(Bcc840(text), quint8(frame.back()));
}

void TestDispenserLink::kvr820Exchange_data() {
    QTest::addColumn<QByteArray>("answer"); // fed 30 ms after the frame
    QTest::newRow("acknowledged") << hex("06");
    // Bytes after the acknowledgement are not examined.
    QTest::newRow("ack and noise") << hex("06FF");
}

void TestDispenserLink::kvr820Exchange() {
    QFETCH(QByteArray, answer);
    // The dispenser answers frames, not the ENQ.
    const auto answering = [&](ScriptedBackend &line) {
        line.onWrite = [&](const QByteArray &w, ScriptedBackend &l) {
            if (w.size() > 1)
                l.feedAfter(30, answer);
        };
    };
    Bench b;
    b.log.text = QStringLiteral("earlier exchange\r\n");
    answering(*b.line);
    const qint64 start = b.clock.nowMs();
    QCOMPARE(link::blockOn(b.k820.SendCommand820("RS")), QStringLiteral("OK"));
    QCOMPARE(b.clock.nowMs() - start, 30);
    QCOMPARE(b.line->written(), hex("025253030005"));
    QCOMPARE(b.log.text, QStringLiteral("SD: 02 52 53 03 00 \r\nRD: 06\r\nSD: 05\r\n"));
    QVERIFY(b.causes.isEmpty());

    // The quiet variant writes the same and logs nothing.
    Bench quiet;
    answering(*quiet.line);
    QCOMPARE(link::blockOn(quiet.k820.SendCommand820Quiet("RS")), QStringLiteral("OK"));
    QCOMPARE(quiet.line->written(), hex("025253030005"));
    QVERIFY(quiet.log.text.isEmpty());
}

void TestDispenserLink::kvr820Refused_data() {
    QTest::addColumn<QByteArray>("answer"); // fed 30 ms after the frame; empty: none
    QTest::addColumn<int>("elapsedMs");
    QTest::newRow("silent") << QByteArray() << 5000;
    QTest::newRow("NAK") << hex("15") << 30;
}

// Refused or unanswered: "RD: " follows the wait all the same, with nothing
// after it, and no ENQ goes out.
void TestDispenserLink::kvr820Refused() {
    QFETCH(QByteArray, answer);
    QFETCH(int, elapsedMs);
    Bench b;
    b.line->onWrite = [&](const QByteArray &, ScriptedBackend &l) {
        if (!answer.isEmpty())
            l.feedAfter(30, answer);
    };
    const qint64 start = b.clock.nowMs();
    QCOMPARE(link::blockOn(b.k820.SendCommand820("RS")), QStringLiteral("ERROR"));
    QCOMPARE(b.clock.nowMs() - start, elapsedMs);
    QCOMPARE(b.line->written(), hex("0252530300"));
    QCOMPARE(b.log.text, QStringLiteral("SD: 02 52 53 03 00 \r\nRD: \r\n"));
}

void TestDispenserLink::kvr840Command_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("received"); // logged after "RD: "
    QTest::newRow("06 31 35") << hex("063135") << "OK"
                              << "06 31 35";
    QTest::newRow("15 31 35") << hex("153135") << "ERROR1"
                              << "15 31 35";
    QTest::newRow("06 30 30") << hex("063030") << ""
                              << "06 30 30";
}

void TestDispenserLink::kvr840Command() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, result);
    QFETCH(QString, received);
    Bench b;
    b.line->onWrite = [&](const QByteArray &, ScriptedBackend &l) { l.feedAfter(20, answer); };
    const qint64 start = b.clock.nowMs();
    QCOMPARE(link::blockOn(b.k840.SendCommand840("15", "RS")), result);
    QCOMPARE(b.clock.nowMs() - start, 250);
    QCOMPARE(b.line->written(), hex("02313552530304"));
    QCOMPARE(b.log.text, "SD: 02 31 35 52 53 03 04 \r\nRD: " + received + " \r\n\r\n");
    QVERIFY(b.causes.isEmpty());
}

void TestDispenserLink::kvr840Status_data() {
    QTest::addColumn<bool>("logged");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QByteArray>("decoded"); // what reached the decoder
    QTest::addColumn<QByteArray>("written");

    const QByteArray query = hex("02313541500314");
    const QByteArray reply = hex("063135 02313530310302");
    QTest::newRow("status 01") << true << reply << "OK" << QByteArray("01")
                               << query + hex("063135");
    QTest::newRow("poll status 01")
        << false << reply << "OK" << QByteArray("01") << query + hex("063135");
    // Only bytes 0, 4 and 5 are checked besides the length.
    QTest::newRow("other bytes unchecked")
        << true << hex("06000002313530310000") << "OK" << QByteArray("01") << query + hex("063135");
    QTest::newRow("negative") << true << hex("153135 02313530310302") << "ERROR" << QByteArray()
                              << query;
}

void TestDispenserLink::kvr840Status() {
    QFETCH(bool, logged);
    QFETCH(QByteArray, answer);
    QFETCH(QString, result);
    QFETCH(QByteArray, decoded);
    QFETCH(QByteArray, written);
    Bench b;
    QByteArray seen;
    const auto decode = [&](const QByteArray &s) { seen = s; };
    const qint64 start = b.clock.nowMs();
    b.line->onWrite = [&](const QByteArray &w, ScriptedBackend &l) {
        if (w.size() > 3)
            l.feedAfter(20, answer);
    };
    const QString r = logged ? link::blockOn(b.k840.QueryStatus840("15", decode))
                             : link::blockOn(b.k840.AutoStatus840("15", decode));
    QCOMPARE(r, result);
    QCOMPARE(seen, decoded);
    QCOMPARE(b.line->written(), written);
    QCOMPARE(b.clock.nowMs() - start, logged ? 250 : 100);
    QCOMPARE(b.log.text.isEmpty(), !logged);
    if (logged)
        QVERIFY(b.log.text.endsWith("\r\n\r\n"));
    // Whatever followed is gone before the next exchange.
    b.line->feedAfter(0, hex("FF"));
    QCOMPARE(b.port.InBufferCount(), 1);
}

void TestDispenserLink::longFramesWrap() {
    Bench b;
    // 23 characters: a frame of 26 bytes.
    link::blockOn(b.k840.SendCommand840("15", QByteArray(21, 'A')));
    const QStringList lines = b.log.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4); // two of the frame, the empty line, the end
    QVERIFY(lines[0].startsWith(QStringLiteral("SD: 02 31 35 41 ")));
    QVERIFY(lines[0].endsWith(QStringLiteral("41 03 ")));
    QCOMPARE(lines[0].size(), 4 + 25 * 3);
    QCOMPARE(lines[1], QStringLiteral("    44 ")); // the BCC
    QCOMPARE(lines[2], QString());
}

void TestDispenserLink::recordDataKeepsTheLog() {
    Bench b;
    b.line->onWrite = [](const QByteArray &w, ScriptedBackend &l) {
        if (w.size() > 1)
            l.feedAfter(5, hex("06"));
    };
    const QString one = QStringLiteral("SD: 02 52 53 03 00 \r\nRD: 06\r\nSD: 05\r\n");
    link::blockOn(b.k820.SendCommand820("RS"));
    link::blockOn(b.k820.SendCommand820("RS"));
    QCOMPARE(b.log.text, one);
    b.log.record = true;
    link::blockOn(b.k820.SendCommand820("RS"));
    QCOMPARE(b.log.text, one + one);
}

void TestDispenserLink::closedPortReports8018() {
    Bench b;
    b.port.setPortOpen(false);
    QCOMPARE(link::blockOn(b.k820.SendCommand820("DC")), QStringLiteral("ERROR"));
    QCOMPARE(link::blockOn(b.k840.SendCommand840("15", "DC")), QStringLiteral("ERROR"));
    QCOMPARE(link::blockOn(b.k840.AutoStatus840("15", [](const QByteArray &) {})),
             QStringLiteral("ERROR"));
    QCOMPARE(b.errors, QList<int>({8018, 8018, 8018}));
}

QTEST_GUILESS_MAIN(TestDispenserLink)
#include "test_dispenserlink.moc"
