// The reader's port settings dialog against a simulated reader on a real
// pseudo-terminal, and against scripted lines on a fake clock where time
// limits matter.

#include "support/settle.h"
#include "support/fakeclock.h"
#include "link/blockon.h"
#include "support/recordingmessageboxes.h"
#include "support/scriptedbackend.h"
#include "support/scripteddialogs.h"
#include "support/scriptedreader.h"

#include "link/clock.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "shell/comportset.h"
#include "sim/fault.h"
#include "sim/readersim.h"
#include "link/operations.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <memory>

using namespace talvex;
using testing::child;
using testing::FakeClock;
using testing::RecordingMessageBoxes;
using testing::ScriptedBackend;
using testing::ScriptedReader;

namespace {

const QString kUnitNotDetected = QStringLiteral("Unit not detected\r\n1.Comm port setup error\r\n"
                                                "2.No power on Unit\r\n"
                                                "3.Communication line not connected");
const QString kPortInvalid = QStringLiteral("Comm Port Setup Invalid");
const QString kBaudInvalid = QStringLiteral("Baud Rate Setup Invalid");
const QString kSelectRightPort =
    QStringLiteral("Comm Port Selection Invalid, Please Select Right Comm. Port");
const QString kPortUsed =
    QStringLiteral("Comm. Port is Used for Some Equipment, Please Select Other One");

const QByteArray kStatusQuery = QByteArray::fromHex("02000231300302");
const QString kQueryLine = QStringLiteral("SD: 02 00 02 31 30 03 02 \r\n");

// The dialog on its own window state, shown so that "stays open" is visible.
struct Bench {
    Bench() : dialog(state) { dialog.show(); }
    ~Bench() {
        try {
            if (port.PortOpen())
                port.setPortOpen(false);
        } catch (const link::SerialError &) {
        }
    }

    QComboBox *combo(const char *name) { return child<QComboBox>(dialog, name); }
    QPushButton *button(const char *name) { return child<QPushButton>(dialog, name); }
    QLabel *label(const char *name) { return child<QLabel>(dialog, name); }
    void choose(const QString &portText, const QString &baudText) {
        combo("PortCombo")->setCurrentText(portText);
        combo("BaudCombo")->setCurrentText(baudText);
    }
    void ok() {
        button("Command1")->click();
        testing::settle();
    }
    bool focusIn(QComboBox *box) {
        QWidget *w = dialog.focusWidget();
        return w != nullptr && (w == box || w->parentWidget() == box);
    }

    RecordingMessageBoxes boxes;
    link::SerialComm port;
    link::ReaderLinkState state{port};
    shell::comportset dialog;
};

// A scripted reader that answers the status query, and nothing else, with reply.
ScriptedReader probed(const QByteArray &reply = link::buildReaderFrame("10Y")) {
    ScriptedReader reader;
    reader.replyTo = [reply](const QByteArray &command) {
        return command == kStatusQuery ? std::optional(reply) : std::nullopt;
    };
    return reader;
}

void mapScripted(int port, FakeClock &clock, const ScriptedReader &reader) {
    link::portmap::mapBackend(port, [&clock, reader] {
        auto line = std::make_unique<ScriptedBackend>(clock);
        reader.install(*line);
        return std::unique_ptr<link::SerialBackend>(std::move(line));
    });
}

// A simulated reader on its own pseudo-terminal behind port number comPort.
std::unique_ptr<sim::ReaderSim> startReader(int comPort, int baud = 9600) {
    auto reader = std::make_unique<sim::ReaderSim>(sim::ReaderModel::Kvr690, baud);
    QString error;
    if (!reader->start(&error))
        qFatal("no pseudo-terminal: %s", qPrintable(error));
    link::portmap::mapPath(comPort, reader->slavePath());
    return reader;
}

} // namespace

Q_DECLARE_METATYPE(talvex::testing::ScriptedReader)

class TestComportset : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { link::portmap::clear(); }

    void opensFoldedAndUnfolds();
    void refusesTextsOutsideTheLists_data();
    void refusesTextsOutsideTheLists();
    void reportsPortErrors_data();
    void reportsPortErrors();
    void scanThenOkSetsUpCom15At57600();
    void cancelLeavesTheConnectionAsItWas();
    void probeJudgesTheLine_data();
    void probeJudgesTheLine();
    void closingMidScanEndsIt();
    void scanTriesRatesInOrderAndFindsCom16();
    void scanJudgesTheReply_data();
    void scanJudgesTheReply();
};

void TestComportset::opensFoldedAndUnfolds() {
    Bench b;
    QCOMPARE(b.dialog.windowTitle(), QStringLiteral("Communication Setting"));
    QCOMPARE(b.combo("PortCombo")->currentText(), QStringLiteral("COM1"));
    QCOMPARE(b.combo("PortCombo")->count(), 15);
    QCOMPARE(b.combo("PortCombo")->itemText(14), QStringLiteral("COM15"));
    QCOMPARE(b.combo("BaudCombo")->currentText(), QStringLiteral("9600 bits/s"));
    QVERIFY(b.combo("PortCombo")->isEditable() && b.combo("BaudCombo")->isEditable());
    QVERIFY(!b.dialog.showScanArea());
    QLabel *autoLabel = b.label("AutoLabel");
    QCOMPARE(autoLabel->text(), QStringLiteral("'AUTO SCAN'   Unfold -->>"));
    QVERIFY(!b.button("Command3")->isVisible());
    QVERIFY(!b.label("Label1")->isVisible());
    const int dpi = b.dialog.logicalDpiY();
    QCOMPARE(b.dialog.frameGeometry().height(), 3165 * dpi / 1440);

    QTest::mouseClick(autoLabel, Qt::LeftButton);
    QVERIFY(b.dialog.showScanArea());
    QCOMPARE(autoLabel->text(), QStringLiteral("'AUTO SCAN' Fold <<--"));
    QVERIFY(b.button("Command3")->isVisible());
    QVERIFY(b.label("Label1")->isVisible());
    QCOMPARE(b.dialog.frameGeometry().height(), 4485 * dpi / 1440);
    const QRect screen = b.dialog.screen()->availableGeometry();
    QVERIFY(qAbs(b.dialog.frameGeometry().center().y() - screen.center().y()) <= 1);

    QTest::mouseClick(autoLabel, Qt::LeftButton);
    QCOMPARE(autoLabel->text(), QStringLiteral("'AUTO SCAN'   Unfold -->>"));
    QVERIFY(!b.button("Command3")->isVisible());
    QCOMPARE(b.dialog.frameGeometry().height(), 3165 * dpi / 1440);
}

void TestComportset::refusesTextsOutsideTheLists_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    // COM16 is refused although the scan goes up to it.
    for (const char *text : {"COM16", "COM0", "com1", "COM1 ", "COM01", "1", ""})
        QTest::addRow("port '%s'", text)
            << QString::fromLatin1(text) << "9600 bits/s" << kPortInvalid << "PortCombo";
    for (const char *text : {"9600", "115200 bits/s", "9600 bits/s ", "300 bits/s", ""})
        QTest::addRow("baud '%s'", text)
            << "COM3" << QString::fromLatin1(text) << kBaudInvalid << "BaudCombo";
    // The port is judged first.
    QTest::addRow("both wrong") << "COM99"
                                << "fast" << kPortInvalid << "PortCombo";
}

void TestComportset::refusesTextsOutsideTheLists() {
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    Bench b;
    b.state.m_portSetUp = true; // every OK starts by clearing it
    b.choose(port, baud);
    b.ok();

    QCOMPARE(b.boxes.shown.size(), 1);
    QCOMPARE(b.boxes.shown[0].text, message);
    QCOMPARE(b.boxes.shown[0].title, QStringLiteral("Caution"));
    QCOMPARE(b.boxes.shown[0].icon, link::MsgIcon::Exclamation);
    QVERIFY(b.focusIn(b.combo(qPrintable(focus))));
    QVERIFY(!b.state.portSetUp());
    QVERIFY(b.dialog.isVisible());
    QVERIFY(!b.port.PortOpen());
}

void TestComportset::reportsPortErrors_data() {
    QTest::addColumn<QString>("path"); // "held": a reader that another port has open
    QTest::addColumn<QString>("message");
    QTest::addRow("mapped to nothing") << QString() << kSelectRightPort;
    QTest::addRow("missing device") << QStringLiteral("/nonexistent/ttyTALVEX") << kSelectRightPort;
    QTest::addRow("held by another component") << QStringLiteral("held") << kPortUsed;
}

void TestComportset::reportsPortErrors() {
    QFETCH(QString, path);
    QFETCH(QString, message);
    std::unique_ptr<sim::ReaderSim> reader;
    link::SerialComm other;
    if (path == QLatin1String("held")) {
        reader = startReader(4, 1200);
        other.setCommPort(4);
        other.setPortOpen(true);
    } else {
        link::portmap::mapPath(4, path);
    }

    Bench b;
    // Every rate of the list is accepted; the port is what fails.
    b.choose(QStringLiteral("COM4"), QStringLiteral("1200 bits/s"));
    b.ok();

    QCOMPARE(b.boxes.texts(), QStringList{message});
    QCOMPARE(b.boxes.shown[0].title, QStringLiteral("Caution"));
    QVERIFY(!b.state.portSetUp());
    QVERIFY(b.dialog.isVisible());
    QVERIFY(b.state.trafficLog().isEmpty());
    if (!reader)
        return;
    // Once the other one lets go, the same OK goes through.
    other.setPortOpen(false);
    b.boxes.shown.clear();
    b.ok();
    QVERIFY(b.boxes.shown.isEmpty());
    QVERIFY(b.state.portSetUp());
}

// The scan finds the reader at the last listed port and rate; OK takes them.
void TestComportset::scanThenOkSetsUpCom15At57600() {
    for (int port = 1; port <= 14; ++port)
        link::portmap::mapPath(port, QString());
    const auto reader = startReader(15, 57600);

    Bench b;
    QTest::mouseClick(b.label("AutoLabel"), Qt::LeftButton);
    b.button("Command3")->click();
    QVERIFY(testing::settle());
    QCOMPARE(b.label("Label1")->text(),
             QStringLiteral("Found KVR Reader AT COM15 Baut Rate 57600"));
    QCOMPARE(b.combo("PortCombo")->currentText(), QStringLiteral("COM15"));
    QCOMPARE(b.combo("BaudCombo")->currentText(), QStringLiteral("57600 bits/s"));
    QVERIFY(b.state.trafficLog().isEmpty());
    QVERIFY(!b.state.portSetUp());
    QVERIFY(b.port.PortOpen()); // the scan leaves the found port open

    b.ok();
    QVERIFY2(b.boxes.shown.isEmpty(), qPrintable(b.boxes.texts().join(QLatin1Char('|'))));
    QVERIFY(b.state.portSetUp());
    QVERIFY(!b.dialog.isVisible());
    QCOMPARE(b.dialog.result(), int(QDialog::Accepted));
    QVERIFY(b.port.PortOpen());
    QCOMPARE(b.port.CommPort(), 15);
    QCOMPARE(b.port.Settings(), QStringLiteral("57600,n,8,1"));
    // The probe leaves its traffic in the log for the detection to add to.
    const QString log = b.state.trafficLog();
    QVERIFY2(log.startsWith(kQueryLine + QStringLiteral("RD: 06\r\nSD: 05\r\nRD: 02 ")),
             qPrintable(log));
    QVERIFY(log.endsWith(QStringLiteral(" \r\n\r\n")));
}

void TestComportset::cancelLeavesTheConnectionAsItWas() {
    for (int port = 1; port <= 7; ++port)
        link::portmap::mapPath(port, QString());
    const auto reader = startReader(8);
    Bench b;
    // A failed OK, then Cancel: still not set up.
    b.choose(QStringLiteral("COM9"), QStringLiteral("9600 bits/s"));
    b.ok();
    QCOMPARE(b.boxes.texts(), QStringList{kSelectRightPort});
    b.button("Command2")->click();
    QCOMPARE(b.dialog.result(), int(QDialog::Rejected));
    QVERIFY(!b.dialog.isVisible());
    QVERIFY(!b.state.portSetUp());

    b.choose(QStringLiteral("COM8"), QStringLiteral("9600 bits/s"));
    b.ok();
    QVERIFY(b.state.portSetUp());
    // Opened again it shows the initial texts; its scan finds the same reader
    // and leaves its port open, and Cancel keeps the connection as it is.
    shell::comportset again(b.state);
    QCOMPARE(child<QComboBox>(again, "PortCombo")->currentText(), QStringLiteral("COM1"));
    child<QPushButton>(again, "Command3")->click();
    QVERIFY(testing::settle());
    QCOMPARE(child<QLabel>(again, "Label1")->text(),
             QStringLiteral("Found KVR Reader AT COM8 Baut Rate 9600"));
    child<QPushButton>(again, "Command2")->click();
    QVERIFY(b.state.portSetUp());
    QCOMPARE(b.port.CommPort(), 8);

    QByteArray reply = link::newReplyBuffer();
    qint16 replyLength = 0;
    QCOMPARE(int(link::blockOn(link::SendReaderCommand(b.state, kStatusQuery, 7, reply, replyLength))), 0);
    QVERIFY(replyLength > 0);
    QCOMPARE(b.boxes.shown.size(), 1);
}

void TestComportset::probeJudgesTheLine_data() {
    QTest::addColumn<ScriptedReader>("reader");
    QTest::addColumn<bool>("setUp");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("log");

    const QString handshake = kQueryLine + QStringLiteral("RD: 06\r\nSD: 05\r\n");
    const QString yesReply = QStringLiteral("RD: 02 00 03 31 30 59 03 5A \r\n\r\n");
    const QStringList none;
    const QStringList notDetected{kUnitNotDetected};

    const auto rd = [](const char *hexBytes) {
        return QStringLiteral("RD: %1 \r\n\r\n").arg(QLatin1String(hexBytes));
    };
    // On the scripted reader's timings: ACK 10 ms after the query, the header
    // 20 ms after ENQ, the rest 30 ms after the header.
    ScriptedReader r = probed();
    QTest::addRow("status Y") << r << true << none << qint64(60) << handshake + yesReply;

    r = probed(link::buildReaderFrame("10A"));
    QTest::addRow("other status still sets up")
        << r << true << none << qint64(60) << handshake + rd("02 00 03 31 30 41 03 42");

    r = probed(link::buildReaderFrame(QByteArray("N0\x04", 3)));
    QTest::addRow("negative reply")
        << r << false << QStringList{QStringLiteral("Command Data Wrong")} << qint64(60)
        << handshake + rd("02 00 03 4E 30 04 03 78");

    r = probed(link::buildReaderFrame(QByteArray("N0\x03", 3)));
    QTest::addRow("negative reply without a message")
        << r << false << none << qint64(60) << handshake + rd("02 00 03 4E 30 03 03 7F");

    r = probed();
    r.answer.clear();
    QTest::addRow("silence") << r << false << notDetected << qint64(5000) << kQueryLine;

    r = probed();
    r.answerAfter = 5000;
    QTest::addRow("ACK on the limit") << r << true << none << qint64(5050) << handshake + yesReply;

    r.answerAfter = 5001;
    QTest::addRow("ACK too late") << r << false << notDetected << qint64(5000) << kQueryLine;

    r = probed();
    r.answer = QByteArray(1, char(link::NAK));
    QTest::addRow("NAK") << r << false << notDetected << qint64(10)
                         << kQueryLine + QStringLiteral("RD: 15\r\n");

    r = probed();
    r.headerAfter = -1;
    QTest::addRow("ACK only") << r << false << notDetected << qint64(8010) << handshake;

    r.hangUpAfterEnq = 50;
    QTest::addRow("line gone while waiting")
        << r << false << notDetected << qint64(60) << handshake;

    r = probed();
    r.headerAfter = 8000;
    r.restAfter = 5000;
    QTest::addRow("slowest reply in time")
        << r << true << none << qint64(13010) << handshake + yesReply;

    // The reply's last byte, its BCC, may come late within the 5 s limit.
    r = probed();
    r.headerBytes = 7;
    r.restAfter = 4990;
    QTest::addRow("BCC late") << r << true << none << qint64(5020) << handshake + yesReply;

    r = probed();
    r.restAfter = -1;
    QTest::addRow("header only") << r << false << notDetected << qint64(5030)
                                 << handshake + QStringLiteral("RD: 02 00 03 \r\n");

    QByteArray badBcc = link::buildReaderFrame("10Y");
    badBcc[7] = '\x00';
    r = probed(badBcc);
    QTest::addRow("wrong BCC") << r << false << notDetected << qint64(60)
                               << handshake + rd("02 00 03 31 30 59 03 00");
}

void TestComportset::probeJudgesTheLine() {
    QFETCH(ScriptedReader, reader);
    QFETCH(bool, setUp);
    QFETCH(QStringList, messages);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, log);

    FakeClock clock;
    link::ScopedClock useClock(clock);
    mapScripted(2, clock, reader);

    Bench b;
    b.choose(QStringLiteral("COM2"), QStringLiteral("9600 bits/s"));
    const qint64 start = clock.nowMs();
    b.ok();

    QCOMPARE(clock.nowMs() - start, elapsedMs);
    QCOMPARE(b.boxes.texts(), messages);
    for (const auto &shown : b.boxes.shown)
        QCOMPARE(shown.title, shown.text == kUnitNotDetected ? QStringLiteral("Caution")
                                                             : QStringLiteral("Error"));
    QCOMPARE(b.state.portSetUp(), setUp);
    QCOMPARE(b.dialog.isVisible(), !setUp);
    // A failed probe closes the port again; a good one leaves it open.
    QCOMPARE(b.port.PortOpen(), setUp);
    QCOMPARE(b.state.trafficLog(), log);
}

// Closing the dialog while the scan waits on a port ends the scan there:
// the port is closed, nothing more is written, no box comes afterwards.
void TestComportset::closingMidScanEndsIt() {
    const auto reader = startReader(1);
    reader->injectFault(sim::Fault::of(sim::Fault::Kind::Silence));
    RecordingMessageBoxes boxes;
    link::SerialComm port;
    link::ReaderLinkState state{port};
    auto dialog = std::make_unique<shell::comportset>(state);
    child<QPushButton>(*dialog, "Command3")->click();
    QTest::qWait(50);
    QVERIFY(port.busy());
    QVERIFY(port.PortOpen());
    QCOMPARE(port.CommPort(), 1);
    dialog.reset();
    QVERIFY(!port.busy());
    QCOMPARE(link::Operations::runningAnywhere(), 0);
    port.setPortOpen(false);
    QTest::qWait(400);
    QVERIFY(boxes.shown.isEmpty());
    QVERIFY(!port.PortOpen());
}

void TestComportset::scanTriesRatesInOrderAndFindsCom16() {
    FakeClock clock;
    link::ScopedClock useClock(clock);
    for (int port = 1; port <= 14; ++port)
        link::portmap::mapPath(port, QString());
    // COM15 acknowledges at every rate but never replies: each rate costs the
    // 250 ms pause (the ACK comes within it) and the header limit.
    ScriptedReader mute = probed();
    mute.answerAfter = 5;
    mute.headerAfter = -1;
    mapScripted(15, clock, mute);
    // A negative reply is no reader to the scan, so 19200 on COM16 does not count.
    ScriptedReader refusing = probed(link::buildReaderFrame(QByteArray("N0\x01", 3)));
    ScriptedReader reader = probed();
    reader.answerAfter = 5;
    reader.onlyAtBaud = 38400;
    link::portmap::mapBackend(16, [&clock, refusing, reader] {
        auto line = std::make_unique<ScriptedBackend>(clock);
        line->onWrite = [refusing, reader](const QByteArray &written, ScriptedBackend &device) {
            (device.settings().baud == 19200 ? refusing : reader).respond(written, device);
        };
        return std::unique_ptr<link::SerialBackend>(std::move(line));
    });

    Bench b;
    const qint64 start = clock.nowMs();
    b.button("Command3")->click();
    QVERIFY(testing::settle());

    QCOMPARE(b.label("Label1")->text(),
             QStringLiteral("Found KVR Reader AT COM16 Baut Rate 38400"));
    // COM16 costs the pause at 9600, then pause, header and rest at 19200 and 38400.
    QCOMPARE(clock.nowMs() - start, 4 * (250 + 5000) + 250 + 2 * (250 + 20 + 30));
    QVERIFY(b.boxes.shown.isEmpty());
    QVERIFY(b.state.trafficLog().isEmpty());

    // The scan may find COM16, but OK takes only the listed ports.
    b.ok();
    QCOMPARE(b.boxes.texts(), QStringList{kPortInvalid});
    QVERIFY(!b.state.portSetUp());
}

void TestComportset::scanJudgesTheReply_data() {
    QTest::addColumn<ScriptedReader>("reader");
    QTest::addColumn<bool>("found");

    const auto reply = [](const char *hexBytes) { return QByteArray::fromHex(hexBytes); };
    QTest::addRow("status Y") << probed(reply("020003313059035A")) << true;
    QTest::addRow("status F") << probed(reply("0200033130460345")) << true;
    QTest::addRow("status N") << probed(reply("02000331304E034D")) << true;
    QTest::addRow("status A") << probed(reply("0200033130410342")) << false;
    QTest::addRow("negative reply") << probed(reply("0200034E3001037D")) << false;
    QTest::addRow("wrong BCC") << probed(reply("020003313059035B")) << false;

    ScriptedReader r = probed(reply("020003313059035A"));
    r.answerAfter = 250;
    QTest::addRow("ACK within the pause") << r << true;
    r.answerAfter = 251;
    QTest::addRow("ACK after the pause") << r << false;

    r = probed(reply("020003313059035A"));
    r.headerBytes = 7;
    r.restAfter = 2990;
    QTest::addRow("BCC late within 3 s") << r << true;
    r.restAfter = 3010;
    QTest::addRow("BCC after 3 s") << r << false;
}

void TestComportset::scanJudgesTheReply() {
    QFETCH(ScriptedReader, reader);
    QFETCH(bool, found);

    FakeClock clock;
    link::ScopedClock useClock(clock);
    for (int port = 2; port <= 16; ++port)
        link::portmap::mapPath(port, QString());
    mapScripted(1, clock, reader);

    Bench b;
    b.button("Command3")->click();
    QVERIFY(testing::settle());
    QCOMPARE(b.label("Label1")->text(),
             found ? QStringLiteral("Found KVR Reader AT COM1 Baut Rate 9600")
                   : QStringLiteral("No Found KVR Reader"));
    QVERIFY(b.boxes.shown.isEmpty());
    QVERIFY(b.state.trafficLog().isEmpty());
    QCOMPARE(b.port.PortOpen(), found);
}

QTEST_MAIN(TestComportset)
#include "test_comportset.moc"
