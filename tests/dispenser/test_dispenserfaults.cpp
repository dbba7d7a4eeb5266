// The dispenser window against both simulated dispensers on pseudo-terminals,
// in real time: for a status command, a dispense command and the polls, every
// way a dispenser's answer can go wrong gives exactly the traffic log, the
// bytes on the line and the status line its link calls for, no message box,
// and the window goes on working.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "dispenser/kvr840panel.h"
#include "dispenser/windowtimer.h"
#include "link/portmap.h"
#include "sim/dispensersim.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <memory>
#include <mutex>

using namespace talvex;
using sim::DispenserFault;
using talvex::testing::child;

namespace {

enum class Command { Ap820, Poll820, Ap840, Dc840, Poll840 };

bool of820(Command c) {
    return c == Command::Ap820 || c == Command::Poll820;
}

// A simulated dispenser and the bytes the program sent it.
class Station {
public:
    Station(sim::DispenserModel model, int port) : sim(model), m_port(port) {
        sim.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            if (d == sim::Direction::FromProgram) {
                std::lock_guard lock(m_mutex);
                m_received += bytes;
            }
        });
    }
    bool start() {
        if (!sim.start())
            return false;
        sim.mapToPort(m_port);
        // Below the pre-empty mark, so that every status names something.
        sim.setStackerCards(10);
        return true;
    }
    QByteArray takeReceived() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_received, {});
    }
    QString portName() const { return QStringLiteral("COM%1").arg(m_port); }

    sim::DispenserSim sim;

private:
    int m_port;
    std::mutex m_mutex;
    QByteArray m_received;
};

// What a row expects of the exchange besides the log and the bytes: the
// status value box of a status command, the status list of a poll, or how
// much the command and error counters of a KVR-840 dispense grew.
QString outcomeOf(const dispenser::Fakamain &w, Command c, int commandsBefore, int errorsBefore) {
    switch (c) {
    case Command::Ap820:
        return child<QLineEdit>(*w.kvr820(), "KVR820BACKVELUE")->text();
    case Command::Ap840:
        return child<QLineEdit>(*w.kvr840(), "KVR840BACKVELUE")->text();
    case Command::Dc840:
        return QStringLiteral("%1 %2")
            .arg(child<QLabel>(*w.kvr840(), "Label8405")->text().toInt() - commandsBefore)
            .arg(child<QLabel>(*w.kvr840(), "Label8407")->text().toInt() - errorsBefore);
    default: {
        QStringList texts;
        auto *list = child<QListWidget>(of820(c) ? static_cast<QWidget &>(*w.kvr820())
                                                 : static_cast<QWidget &>(*w.kvr840()),
                                        of820(c) ? "List8201" : "List8401");
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts.join(QStringLiteral(", "));
    }
    }
}

// What the polls show of the simulators' usual status.
const QString kPolled820 = QStringLiteral("Stacker Is Pre-empty");
const QString kPolled840 = QStringLiteral("Waiting for Dispensing, Stacker Is Pre-empty");

// The program's side of the line has had time to reach the device thread.
constexpr int kSettleMs = 40;

} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(talvex::sim::DispenserFault)

class TestDispenserFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void faultMatrix_data();
    void faultMatrix();

private:
    bool setUp(bool is820);
    void run(Command c);

    testing::RecordingMessageBoxes m_boxes;
    testing::ScriptedDialogs m_dialogs;
    std::unique_ptr<Station> m_820;
    std::unique_ptr<Station> m_840;
    std::unique_ptr<dispenser::Fakamain> m_window;
};

void TestDispenserFaults::initTestCase() {
    m_820 = std::make_unique<Station>(sim::DispenserModel::Kvr820, 2);
    m_840 = std::make_unique<Station>(sim::DispenserModel::Kvr840, 3);
    if (!m_820->start() || !m_840->start())
        QSKIP("no pseudo-terminal");
    m_window = std::make_unique<dispenser::Fakamain>();
    QVERIFY(setUp(true));
    QVERIFY(setUp(false));
}

void TestDispenserFaults::cleanupTestCase() {
    if (m_window)
        m_window->EXIT_Click();
    m_window.reset();
    link::portmap::unmap(2);
    link::portmap::unmap(3);
}

bool TestDispenserFaults::setUp(bool is820) {
    const QString port = (is820 ? m_820 : m_840)->portName();
    m_dialogs.steps.append([port](QDialog &d) {
        child<QComboBox>(d, "PortCombo")->setCurrentText(port);
        child<QPushButton>(d, "Command1")->click();
        // The detection awaits the dispenser while the dialog is open.
        testing::settle();
        return d.result();
    });
    if (is820)
        m_window->kvr820()->KVR820Setup_Click();
    else
        m_window->kvr840()->KVR840Setup_Click();
    return (is820 ? m_window->kvr820()->port() : m_window->kvr840()->port()).PortOpen();
}

// As the window starts them: a click on the tab's line, a poll as its timer's
// tick; then the command is let run to its end.
void TestDispenserFaults::run(Command c) {
    dispenser::Kvr820Panel &k820 = *m_window->kvr820();
    dispenser::Kvr840Panel &k840 = *m_window->kvr840();
    using Start = link::Operations::Start;
    // Only the row's exchanges reach the line: no poll of either tab may start
    // on its own while the event loop runs.
    const auto stopTimers = [&] {
        for (dispenser::WindowTimer *t : k820.timers() + k840.timers())
            t->stop();
    };
    stopTimers();
    switch (c) {
    case Command::Ap820:
        k820.operations().run(k820.port(), [&] { return k820.KVR820AP_Click(); });
        break;
    case Command::Poll820:
        k820.operations().run(
            k820.port(), [&] { return k820.Timer820_Timer(); }, Start::Timer);
        break;
    case Command::Ap840:
        k840.operations().run(k840.port(), [&] { return k840.KVR840AP_Click(); });
        break;
    case Command::Dc840:
        k840.operations().run(k840.port(), [&] { return k840.KVR840DC_Click(); });
        break;
    case Command::Poll840:
        k840.operations().run(
            k840.port(), [&] { return k840.Timer840_Timer(); }, Start::Timer);
        break;
    }
    QVERIFY(testing::settle());
    stopTimers();
}

void TestDispenserFaults::faultMatrix_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<DispenserFault>("fault");
    QTest::addColumn<int>("delayMs");
    // The whole log; one that ends in "..." is a prefix of a reply too long to
    // write out, of 1100 bytes.
    QTest::addColumn<QString>("log");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("reason"); // what the status line starts with; empty: nothing

    using F = DispenserFault;
    const QString noAnswer820 = QStringLiteral("KVR-820: no answer within 5 s");
    // A status reply the tab ignores.
    const QString noStatus820 = QStringLiteral("KVR-820: no status reply within 500 ms");
    const QString odd820 = QStringLiteral("KVR-820: unexpected status reply ");
    // The line's own reason: the port, its device, and that the device went away.
    const QString gone820 = QStringLiteral("COM2 (");
    const QString gone840 = QStringLiteral("COM3 (");
    const QString sd820 = QStringLiteral("SD: 02 41 50 03 10 \r\n");
    const QString enq820 = sd820 + QStringLiteral("RD: 06\r\nSD: 05\r\n");
    // "RD: " follows the wait whatever it brought.
    const QString unanswered820 = sd820 + QStringLiteral("RD: \r\n");
    const QByteArray ap820 = QByteArray::fromHex("0241500310");
    const QByteArray apEnq820 = ap820 + '\x05';
    const auto row820 = [](const char *name, F fault, int delayMs, const QString &log,
                           const QByteArray &sent, const char *shown, const QString &reason) {
        QTest::newRow(name) << Command::Ap820 << fault << delayMs << log << sent
                            << QString::fromLatin1(shown) << reason;
    };
    row820("820 NAK", F::Nak, 0, sd820 + "RD: \r\n", ap820, "", "KVR-820: unexpected reply 15");
    row820("820 ACK, no status", F::AckOnly, 0, enq820, apEnq820, "", noStatus820);
    row820("820 truncated", F::Truncated, 0, enq820 + "RD:02 53 46 30 30 31 30 \r\n", apEnq820, "",
           odd820 + "02 53 46 30 30 31 30");
    // The BCC of a status frame is never checked.
    row820("820 wrong BCC", F::WrongBcc, 0, enq820 + "RD:02 53 46 30 30 31 30 03 EA \r\n", apEnq820,
           "0010", "");
    row820("820 extra bytes", F::ExtraBytes, 0,
           enq820 + "RD:02 53 46 30 30 31 30 03 15 AA 55 00 \r\n", apEnq820, "",
           odd820 + "02 53 46 30 30 31 30 03 15 AA 55 00");
    row820("820 overlong", F::Overlong, 0, enq820 + "RD:02 53 46 30 30 31 30 30 30 30 ...",
           apEnq820, "",
           odd820 + "02 53 46 30 30 31 30 30 30 30 30 30 30 30 30 30 ... (1100 bytes)");
    const QString usual820 = enq820 + "RD:02 53 46 30 30 31 30 03 15 \r\n";
    row820("820 ACK at 4.7 s", F::SlowAck, 4700, usual820, apEnq820, "0010", "");
    row820("820 ACK at 5.3 s", F::SlowAck, 5300, unanswered820, ap820, "", noAnswer820);
    row820("820 status at 0.4 s", F::SlowReply, 400, usual820, apEnq820, "0010", "");
    row820("820 status at 0.6 s", F::SlowReply, 600, enq820, apEnq820, "", noStatus820);
    row820("820 hang-up", F::HangUp, 0, sd820 + "\r\n", ap820, "", gone820);
    // None: the line is gone before the command.
    row820("820 port gone", F::None, 0, sd820 + "\r\n", QByteArray(), "", gone820);

    // The polls wait less; they log nothing.
    const auto poll = [](const char *name, Command c, int delayMs, const QByteArray &sent,
                         const QString &shown, const QString &reason) {
        QTest::newRow(name) << c << F::SlowReply << delayMs << QString() << sent << shown << reason;
    };
    poll("820 poll status at 0.12 s", Command::Poll820, 120, apEnq820, kPolled820, "");
    poll("820 poll status at 0.28 s", Command::Poll820, 280, apEnq820, "",
         "KVR-820: no status reply within 200 ms");

    const QString sdAp840 = QStringLiteral("SD: 02 31 35 41 50 03 14 \r\n");
    const QByteArray ap840 = QByteArray::fromHex("02313541500314");
    const QByteArray apAck840 = ap840 + QByteArray::fromHex("063135");
    const auto rowAp = [&](const char *name, F fault, int delayMs, const QString &received,
                           const char *shown, const QString &reason) {
        QTest::newRow(name) << Command::Ap840 << fault << delayMs
                            << sdAp840 + (received.isEmpty() ? QString() : "RD: " + received) +
                                   "\r\n"
                            << (QLatin1String(shown).isEmpty() ? ap840 : apAck840)
                            << QString::fromLatin1(shown) << reason;
    };
    const QString odd = QStringLiteral("KVR-840: unexpected reply ");
    const QString noAnswer840 = QStringLiteral("KVR-840: no answer within 250 ms");
    rowAp("840 AP NAK", F::Nak, 0, "15 31 35 \r\n", "", odd + "15 31 35");
    rowAp("840 AP ACK, no status", F::AckOnly, 0, "06 31 35 \r\n", "", odd + "06 31 35");
    rowAp("840 AP truncated", F::Truncated, 0, "06 31 35 02 31 35 30 31 \r\n", "",
          odd + "06 31 35 02 31 35 30 31");
    rowAp("840 AP wrong BCC", F::WrongBcc, 0, "06 31 35 02 31 35 30 31 03 FB \r\n", "01", "");
    rowAp("840 AP other address", F::OtherAddress, 0, "06 30 30 02 30 30 30 31 03 00 \r\n", "",
          odd + "06 30 30 02 30 30 30 31 03 00");
    rowAp("840 AP extra bytes", F::ExtraBytes, 0, "06 31 35 02 31 35 30 31 03 04 AA 55 00 \r\n", "",
          odd + "06 31 35 02 31 35 30 31 03 04 AA 55 00");
    // Too long to show: the status line names the first bytes and the length.
    QTest::newRow("840 AP overlong")
        << Command::Ap840 << F::Overlong << 0
        << sdAp840 + "RD: 06 31 35 02 31 35 30 31 30 30 30 ..." << ap840 << QString()
        << odd + "06 31 35 02 31 35 30 31 30 30 30 30 30 30 30 30 ... (1100 bytes)";
    rowAp("840 AP at 170 ms", F::SlowReply, 170, "06 31 35 02 31 35 30 31 03 04 \r\n", "01", "");
    rowAp("840 AP at 330 ms", F::SlowReply, 330, "", "", noAnswer840);
    rowAp("840 AP hang-up", F::HangUp, 0, "", "", gone840);
    QTest::newRow("840 AP port gone") << Command::Ap840 << F::None << 0 << sdAp840 + "\r\n"
                                      << QByteArray() << QString() << gone840;

    poll("840 poll status at 40 ms", Command::Poll840, 40, apAck840, kPolled840, "");
    poll("840 poll status at 160 ms", Command::Poll840, 160, ap840, "",
         "KVR-840: no answer within 100 ms");

    // Last, as a dispense moves a card and changes the status.
    const QString sdDc840 = QStringLiteral("SD: 02 31 35 44 43 03 02 \r\n");
    const QByteArray dc840 = QByteArray::fromHex("02313544430302");
    const auto rowDc = [&](const char *name, F fault, int delayMs, const char *received,
                           const char *counted, const QString &reason) {
        QTest::newRow(name) << Command::Dc840 << fault << delayMs
                            << sdDc840 + QLatin1String(received) + "\r\n"
                            << dc840 << QString::fromLatin1(counted) << reason;
    };
    // ERROR1: a refusal is counted as an error.
    rowDc("840 DC NAK", F::Nak, 0, "RD: 15 31 35 \r\n", "0 1", "");
    // Only a three-byte answer is logged.
    rowDc("840 DC truncated", F::Truncated, 0, "RD: ", "0 1", odd + "06 31");
    rowDc("840 DC other address", F::OtherAddress, 0, "RD: 06 30 30 \r\n", "0 1", "");
    rowDc("840 DC extra bytes", F::ExtraBytes, 0, "RD: ", "0 1", odd + "06 31 35 AA 55 00");
    rowDc("840 DC overlong", F::Overlong, 0, "RD: ", "0 1",
          odd + "06 31 35 30 30 30 30 30 30 30 30 30 30 30 30 30 ... (1100 bytes)");
    rowDc("840 DC at 170 ms", F::SlowReply, 170, "RD: 06 31 35 \r\n", "1 0", "");
    rowDc("840 DC at 330 ms", F::SlowReply, 330, "", "0 1", noAnswer840);
    rowDc("840 DC hang-up", F::HangUp, 0, "", "0 1", gone840);
    QTest::newRow("840 DC port gone") << Command::Dc840 << F::None << 0 << sdDc840 + "\r\n"
                                      << QByteArray() << QStringLiteral("0 1") << gone840;
}

void TestDispenserFaults::faultMatrix() {
    QFETCH(Command, command);
    QFETCH(DispenserFault, fault);
    QFETCH(int, delayMs);
    QFETCH(QString, log);
    QFETCH(QByteArray, sent);
    QFETCH(QString, outcome);
    QFETCH(QString, reason);
    const bool is820 = of820(command);
    Station &station = is820 ? *m_820 : *m_840;
    dispenser::Fakamain &w = *m_window;
    auto *list = is820 ? child<QListWidget>(*w.kvr820(), "List8201")
                       : child<QListWidget>(*w.kvr840(), "List8401");
    const auto counter = [&](const char *name) {
        return child<QLabel>(*w.kvr840(), name)->text().toInt();
    };

    const auto exchange = [&](const QString &expectedLog, const QByteArray &expectedSent,
                              const QString &expectedOutcome, const QString &expectedReason) {
        w.ClearData_Click();
        list->clear();
        w.showLineReason({});
        m_boxes.shown.clear();
        const int commands = counter("Label8405");
        const int errors = counter("Label8407");
        QThread::msleep(kSettleMs);
        station.takeReceived();
        run(command);
        QThread::msleep(kSettleMs);
        QCOMPARE(station.takeReceived(), expectedSent);
        if (expectedLog.endsWith(QLatin1String("..."))) {
            QVERIFY2(w.trafficLog().startsWith(expectedLog.chopped(3)), qPrintable(w.trafficLog()));
            // 1100 bytes, 25 to a line.
            QCOMPARE(w.trafficLog().count(QLatin1String("\r\n    ")), 44);
        } else {
            QCOMPARE(w.trafficLog(), expectedLog);
        }
        QCOMPARE(outcomeOf(w, command, commands, errors), expectedOutcome);
        QCOMPARE(m_boxes.texts(), QStringList());
        if (expectedReason.isEmpty())
            QCOMPARE(w.lineReason(), QString());
        else
            QVERIFY2(w.lineReason().startsWith(expectedReason), qPrintable(w.lineReason()));
    };

    const bool portGone = fault == DispenserFault::None;
    if (portGone)
        station.sim.stop();
    else
        // Armed for the row's command only: a frame of another command that
        // reaches the dispenser first (a poll) cannot use it up.
        station.sim.injectFault(fault, delayMs, command == Command::Dc840 ? "DC" : "AP");
    exchange(log, sent, outcome, reason);
    if (QTest::currentTestFailed())
        return;
    if (portGone || fault == DispenserFault::HangUp) {
        // The line's own reason: the device went away. Back behind the same
        // port, it is set up again.
        QVERIFY(w.lineReason().contains(QLatin1String("went away")));
        QTRY_VERIFY(!station.sim.isRunning());
        QVERIFY(station.start());
        QVERIFY(setUp(is820));
        QCOMPARE(m_boxes.texts(), QStringList());
    }

    // The window goes on. Late bytes of the fault may still come and spoil a
    // poll or two; then the poll decodes the status as before.
    const Command poll = is820 ? Command::Poll820 : Command::Poll840;
    // A dispense moved a card: the status of the start comes back.
    station.sim.setStatusChars(is820 ? "0010" : "01");
    QString polled;
    for (int i = 0; i < 4 && polled.isEmpty(); ++i) {
        QCoreApplication::processEvents();
        list->clear();
        run(poll);
        polled = outcomeOf(w, poll, 0, 0);
    }
    QCOMPARE(polled, is820 ? kPolled820 : kPolled840);
    QCOMPARE(m_boxes.texts(), QStringList());
}

QTEST_MAIN(TestDispenserFaults)
#include "test_dispenserfaults.moc"
