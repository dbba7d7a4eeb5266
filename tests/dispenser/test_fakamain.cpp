// The dispenser window by hand: settings dialogs, every command button with
// its messages, log lines, counters and picture, against the simulated
// machines in fake time; and waits over real pseudo-terminals.

#include "virtualdispensers.h"

#include "support/scriptedbackend.h"

#include "dispenser/dispenserpicture.h"
#include "sim/dispensersim.h"
#include "ui/seams.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <mutex>

using namespace talvex;
using talvex::testing::child;
using talvex::testing::commandTexts;
using talvex::testing::VirtualDispensers;

namespace {

QString label(const QWidget &parent, const char *name) {
    return child<QLabel>(parent, name)->text();
}

QStringList listTexts(const QWidget &parent, const char *name) {
    QStringList out;
    auto *list = child<QListWidget>(parent, name);
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

bool enabled(const QWidget &parent, const char *name) {
    return child<QPushButton>(parent, name)->isEnabled();
}

const QString kSetupFirst = QStringLiteral("Setup Comm. Port first");

// "Comm Setup" answered with the port and "OK"; the detection is let run.
void answerSetup(testing::ScriptedDialogs &dialogs, const QString &port) {
    dialogs.steps.append([port](QDialog &d) {
        child<QComboBox>(d, "PortCombo")->setCurrentText(port);
        child<QPushButton>(d, "Command1")->click();
        testing::settle();
        return d.result();
    });
}

struct FakeSaveDialog final : ui::FileDialogs {
    FakeSaveDialog() { ui::setFileDialogs(this); }
    ~FakeSaveDialog() override { ui::setFileDialogs(nullptr); }
    QString openFile(const ui::OpenFileRequest &) override { return {}; }
    QString saveFile(const ui::SaveFileRequest &r) override {
        request = r;
        return answer;
    }
    ui::SaveFileRequest request;
    QString answer;
};

} // namespace

class TestFakamain : public QObject {
    Q_OBJECT
private slots:
    void settingsPortErrors();
    void detectionFailures_data();
    void detectionFailures();
    void kvr820AckWithoutStatusCountsAsDetected();
    void closedPortSaysSetupFirst();
    void kvr820ManualDispenseAndCapture();
    void kvr820StatusButtons();
    void kvr820Doors();
    void changeBaudRateClosesThePort_data();
    void changeBaudRateClosesThePort();
    void kvr840ManualCommands();
    void zeroButtonsAndCommClose();
    void saveTo();
    void kvr820Positions_data();
    void kvr820Positions();
    void pollSwitchesDispenseAndCapture();
    void cardLeftInTheChannel();
    void portClosedUnderATest();
    void kvr840SilentPollEmptiesTheList();
    void awaitedWaitsOverPseudoTerminals();
};

void TestFakamain::settingsPortErrors() {
    VirtualDispensers v;
    link::portmap::mapPath(7, QStringLiteral("/nonexistent/tty"));
    QVERIFY(!v.setUp820(QStringLiteral("COM7")));
    QCOMPARE(v.boxes.texts(),
             QStringList{"Invalid Comm. Port Selection, Please Select Valid Comm. Port"});
    QVERIFY(v.window->lineReason().contains(QStringLiteral("/nonexistent/tty")));

    // A port another program holds.
    v.boxes.shown.clear();
    link::portmap::unmap(7);
    link::portmap::mapBackend(8, [&] {
        auto held = std::make_unique<testing::ScriptedBackend>(v.clock);
        held->openError = link::kPortInUse;
        return held;
    });
    QVERIFY(!v.setUp820(QStringLiteral("COM8")));
    QVERIFY(!v.setUp840(QStringLiteral("COM8")));
    QCOMPARE(v.boxes.texts(),
             QStringList({"The Comm. Port has been Used for One Quipment, Please Select Another "
                          "Comm. Port",
                          "The Comm Port has been Used for One Quipment, Please Select Another "
                          "Comm. Port"}));
    QVERIFY(v.window->lineReason().contains(QStringLiteral("held")));
    link::portmap::unmap(8);
}

void TestFakamain::detectionFailures_data() {
    QTest::addColumn<bool>("is820");
    QTest::addColumn<QString>("message");
    QTest::newRow("820 silent") << true
                                << "Card Dispenser not Detected\r\n1.Comm Port Setup Error\r\n2.No "
                                   "Power on Card Cispenser\r\n3.Communication Line not Connected";
    QTest::newRow("840 other address")
        << false
        << "Card Dispenser not Detected\r\n1.Comm. Port Setup Error\r\n2.No Power on Card "
           "Dispenser\r\n3.Communication Line not Connected";
}

void TestFakamain::detectionFailures() {
    QFETCH(bool, is820);
    QFETCH(QString, message);
    VirtualDispensers v;
    const qint64 start = v.clock.nowMs();
    if (is820) {
        v.dev820.injectFault(sim::DispenserFault::Silence);
        QVERIFY(!v.setUp820());
        // The "AP" query ran into its 5-second limit.
        QCOMPARE(v.clock.nowMs() - start, 5000);
    } else {
        v.dev840.setAddress("07");
        QVERIFY(!v.setUp840());
        for (const QString &t : commandTexts(v.writes840, true))
            QVERIFY(t.startsWith(QLatin1String("15")));
    }
    QCOMPARE(v.boxes.texts(), QStringList{message});
    QVERIFY(!(is820 ? v.k820().port() : v.k840().port()).PortOpen());
    const auto timers = is820 ? v.k820().timers() : v.k840().timers();
    QVERIFY(!timers.first()->isActive());
    // "Cancel" after the failed "OK" leaves the poll stopped.
    v.dialogs.steps.append([](QDialog &d) {
        child<QPushButton>(d, "Command2")->click();
        return d.result();
    });
    is820 ? v.k820().KVR820Setup_Click() : v.k840().KVR840Setup_Click();
    QVERIFY(!timers.first()->isActive());
}

void TestFakamain::kvr820AckWithoutStatusCountsAsDetected() {
    VirtualDispensers v;
    // A dispenser that acknowledges "AP" and never sends the status frame.
    testing::ScriptedBackend *line = nullptr;
    link::portmap::mapBackend(6, [&] {
        auto owned = std::make_unique<testing::ScriptedBackend>(v.clock);
        owned->onWrite = [](const QByteArray &w, testing::ScriptedBackend &l) {
            if (w.size() > 1)
                l.feedAfter(10, QByteArray(1, '\x06'));
        };
        line = owned.get();
        return owned;
    });
    QVERIFY(v.setUp820(QStringLiteral("COM6")));
    QVERIFY(v.boxes.shown.isEmpty());
    QCOMPARE(line->settings(), (link::LineSettings{9600, 'n', 8, 1}));
    QVERIFY(enabled(v.k820(), "KVR820DC"));
    QVERIFY(enabled(v.k820(), "KVR820SI"));
    QVERIFY(v.k820().picture()->bodyVisible());
    QCOMPARE(v.window->trafficLog(), QStringLiteral("SD: 02 41 50 03 10 \r\nRD: 06\r\nSD: 05\r\n"));
    link::portmap::unmap(6);
}

void TestFakamain::closedPortSaysSetupFirst() {
    VirtualDispensers v;
    // The only dispense button usable before a setup.
    QVERIFY(enabled(v.k820(), "KVR820FC0"));
    QVERIFY(!enabled(v.k820(), "KVR820DC"));
    QVERIFY(!enabled(v.k840(), "KVR840DC"));
    v.k820().KVR820FC0_Click();
    v.k820().KVR820FC0_Click();
    v.k840().KVR840IP_Click();
    QCOMPARE(v.boxes.texts(), QStringList({kSetupFirst, kSetupFirst, kSetupFirst}));
    QCOMPARE(v.boxes.shown.first().title, QStringLiteral("Caution"));
    QVERIFY(!v.k820().timers().first()->isActive());
    QVERIFY(!v.k840().timers().first()->isActive());
    QVERIFY(v.window->lineReason().contains(QStringLiteral("not open")));
    QCOMPARE(label(v.k820(), "Label8205"), QStringLiteral("0"));
}

void TestFakamain::kvr820ManualDispenseAndCapture() {
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 500, .captureMs = 400});
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    v.runFor(300);
    QVERIFY(enabled(p, "KVR820DC"));
    QVERIFY(!enabled(p, "KVR820CP"));
    QCOMPARE(p.picture()->visibleMarkNames(), QStringList({"StackerUpper", "StackerLower"}));

    p.KVR820DC_Click();
    QCOMPARE(v.window->trafficLog(), QStringLiteral("SD: 02 44 43 03 06 \r\nRD: 06\r\nSD: 05\r\n"));
    QCOMPARE(label(p, "Label8205"), QStringLiteral("1"));
    QVERIFY(p.manualCommandIssued());
    v.runFor(250);
    QCOMPARE(listTexts(p, "List8201"), QStringList{"Card Is Dispensing"});
    QVERIFY(!enabled(p, "KVR820DC"));
    v.runFor(600);
    QCOMPARE(listTexts(p, "List8201"),
             QStringList({"Card Dispense Success", "Card Stopped at the Door"}));
    QCOMPARE(label(p, "Label8206"), QStringLiteral("1"));
    QCOMPARE(label(p, "Label8208"), QStringLiteral("0"));
    QCOMPARE(p.picture()->visibleMarkNames(), QStringList({"StackerUpper", "StackerLower", "P6"}));
    v.runFor(200);
    QVERIFY(!enabled(p, "KVR820DC"));
    QVERIFY(enabled(p, "KVR820CP"));
    // The card at the door after a dispense command: no automatic reset.
    QVERIFY(commandTexts(v.writes820).count(QStringLiteral("RS")) == 0);

    p.KVR820CP_Click();
    QCOMPARE(label(p, "Label82012"), QStringLiteral("1"));
    v.runFor(1000);
    QCOMPARE(label(p, "Label82011"), QStringLiteral("1"));
    QCOMPARE(listTexts(p, "List8201").first(), QStringLiteral("Card Capture Success"));
    QCOMPARE(v.dev820.binCards(), 1);
    QVERIFY(enabled(p, "KVR820DC"));
    QVERIFY(!enabled(p, "KVR820CP"));

    // Capturing with nothing at the door: the dispenser reports an error.
    p.KVR820CP_Click();
    v.runFor(300);
    QCOMPARE(label(p, "Label82010"), QStringLiteral("1"));
    QCOMPARE(label(p, "Label8209"), QStringLiteral("50"));
    QVERIFY(listTexts(p, "List8201").contains(QStringLiteral("Card Capture Error")));

    v.boxes.shown.clear();
    p.KVR820RS_Click();
    QCOMPARE(v.boxes.texts(), QStringList{"Reset Success\r\nChecking Working Situation\r\nWait "
                                          "for 2 Sec for Next Operation"});
    QCOMPARE(v.boxes.shown.first().title, QStringLiteral("Message"));
    QCOMPARE(v.boxes.shown.first().icon, link::MsgIcon::Information);
    QCOMPARE(p.timers().first()->interval(), 1000);
    v.runFor(1100);
    QCOMPARE(p.timers().first()->interval(), 100);
}

void TestFakamain::kvr820StatusButtons() {
    VirtualDispensers v;
    QVERIFY(v.setUp820());
    // The detection's status reply is logged like a command reply, with the blank.
    QVERIFY(v.window->trafficLog().endsWith(
        QStringLiteral("SD: 05\r\nRD: 02 53 46 30 30 30 30 03 14 \r\n")));
    auto &p = v.k820();
    v.dev820.setStatus({'1', '0', '1', 'B'});
    v.writes820.clear();
    p.KVR820RF_Click();
    QCOMPARE(child<QLineEdit>(p, "KVR820BACKVELUE")->text(), QStringLiteral("01B"));
    QCOMPARE(listTexts(p, "List8201"), QStringList({"Stacker Is Pre-empty", "Stacker Is Empty"}));
    QVERIFY(!p.state().dispenseAllowed);
    QVERIFY(p.state().captureAllowed);
    QVERIFY(v.window->trafficLog().endsWith(
        QStringLiteral("SD: 05\r\nRD:02 53 46 30 31 42 03 57 \r\n")));
    p.KVR820AP_Click();
    QCOMPARE(child<QLineEdit>(p, "KVR820BACKVELUE")->text(), QStringLiteral("101B"));
    QCOMPARE(listTexts(p, "List8201"),
             QStringList({"Error Card Bin Is Full", "Stacker Is Pre-empty", "Stacker Is Empty"}));
    QVERIFY(p.state().dispenseAllowed);
    QVERIFY(p.state().captureAllowed);
    QCOMPARE(p.picture()->visibleMarkNames(), QStringList({"StackerLower", "P4"}));
}

void TestFakamain::kvr820Doors() {
    VirtualDispensers v;
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    // Door status shows the code's text.
    QString shown;
    v.dialogs.steps.append([&](QDialog &d) {
        shown = child<QLabel>(d, "DoorText")->text();
        return int(QDialog::Accepted);
    });
    p.KVR820SI_Click();
    QCOMPARE(v.dialogs.titles.last(), QStringLiteral("Door Status"));
    QCOMPARE(shown, QStringLiteral("Prohibit the card in"));

    // Door set: the current code preselected, option 2 confirmed sends "IN1".
    bool preselected = false;
    QString frameTitle;
    v.dialogs.steps.append([&](QDialog &d) {
        frameTitle =
            child<QRadioButton>(d, "Option1")->parentWidget()->property("title").toString();
        preselected = child<QRadioButton>(d, "Option1")->isChecked();
        child<QRadioButton>(d, "Option2")->setChecked(true);
        child<QPushButton>(d, "OKButton")->click();
        return d.result();
    });
    v.writes820.clear();
    p.KVR820NI_Click();
    QVERIFY(preselected);
    QCOMPARE(frameTitle, QStringLiteral("Enter Control\r\n Option"));
    QCOMPARE(commandTexts(v.writes820), QStringList({"SI", "IN1"}));
    QCOMPARE(v.dev820.doorCode(), '1');
    QCOMPARE(v.boxes.texts(), QStringList{"Door Setting Success"});
    QCOMPARE(v.boxes.shown.last().title, QStringLiteral("Message"));

    // Cancelled: nothing is sent.
    v.writes820.clear();
    p.KVR820NI_Click();
    QCOMPARE(commandTexts(v.writes820), QStringList{"SI"});

    // No answer to the door query: no dialog, nothing sent.
    v.dev820.injectFault(sim::DispenserFault::Silence);
    const int dialogs = int(v.dialogs.titles.size());
    v.writes820.clear();
    p.KVR820NI_Click();
    QCOMPARE(v.dialogs.titles.size(), dialogs);
    QCOMPARE(commandTexts(v.writes820), QStringList{"SI"});

    // The dispenser refuses the setting.
    v.dialogs.steps.append([&](QDialog &d) {
        v.dev820.injectFault(sim::DispenserFault::Nak);
        child<QPushButton>(d, "OKButton")->click();
        return d.result();
    });
    v.boxes.shown.clear();
    v.writes820.clear();
    p.KVR820NI_Click();
    QCOMPARE(commandTexts(v.writes820), QStringList({"SI", "IN1"}));
    QCOMPARE(v.boxes.texts(), QStringList{"Door Setting Fail"});
    QCOMPARE(v.boxes.shown.first().title, QStringLiteral("Caution"));
}

void TestFakamain::changeBaudRateClosesThePort_data() {
    QTest::addColumn<bool>("is820");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    QTest::newRow("820") << true << "CS4"
                         << "Baud Rate Setting Success\r\nBaud Rate\r\n19200\r\nPlease reset comm. "
                            "port";
    QTest::newRow("840 at 07") << false << "07CSB4"
                               << "Baud Rate Setting Success\r\nBaud Rate\r\n19200\r\nPlease "
                                  "Reset comm. port";
}

void TestFakamain::changeBaudRateClosesThePort() {
    QFETCH(bool, is820);
    QFETCH(QString, command);
    QFETCH(QString, message);
    VirtualDispensers v;
    if (is820) {
        QVERIFY(v.setUp820());
        child<QComboBox>(v.k820(), "cmbBaut820")->setCurrentText(QStringLiteral("19200"));
        v.writes820.clear();
        v.k820().KVR820CS_Click();
    } else {
        v.dev840.setAddress("07");
        child<QComboBox>(v.k840(), "cmbAddress840")->setCurrentText(QStringLiteral("07"));
        QVERIFY(v.setUp840());
        child<QComboBox>(v.k840(), "cmbBaut840")->setCurrentText(QStringLiteral("19200"));
        v.writes840.clear();
        v.k840().KVR840CS_Click();
    }
    QCOMPARE(commandTexts(is820 ? v.writes820 : v.writes840), QStringList{command});
    QCOMPARE(v.boxes.texts(), QStringList{message});
    QCOMPARE(v.boxes.shown.first().title, QStringLiteral("Information"));
    QVERIFY(!(is820 ? v.k820().port() : v.k840().port()).PortOpen());
    QCOMPARE((is820 ? v.dev820.baud() : v.dev840.baud()), 19200);
    // The old speed finds no dispenser any more; the new one does.
    QVERIFY(!(is820 ? v.setUp820() : v.setUp840()));
    v.dialogs.steps.append([&](QDialog &d) {
        child<QComboBox>(d, "PortCombo")->setCurrentText(is820 ? "COM2" : "COM3");
        child<QComboBox>(d, "BaudCombo")->setCurrentText("19200 bits/s");
        child<QPushButton>(d, "Command1")->click();
        return d.result();
    });
    is820 ? v.k820().KVR820Setup_Click() : v.k840().KVR840Setup_Click();
    QVERIFY((is820 ? v.k820().port() : v.k840().port()).PortOpen());
}

void TestFakamain::kvr840ManualCommands() {
    VirtualDispensers v;
    v.dev840.setMechanics({.dispenseMs = 400, .holdAtMouth = true});
    QVERIFY(v.setUp840());
    auto &p = v.k840();
    QVERIFY(!enabled(p, "AutoStop840"));
    v.runFor(300);
    QVERIFY(enabled(p, "KVR840DC"));
    QCOMPARE(p.picture()->visibleMarkNames(), QStringList({"StackerUpper", "StackerLower", "Q1"}));

    v.writes840.clear();
    p.KVR840DC_Click();
    QCOMPARE(v.window->trafficLog(),
             QStringLiteral("SD: 02 31 35 44 43 03 02 \r\nRD: 06 31 35 \r\n\r\n"));
    QCOMPARE(label(p, "Label8405"), QStringLiteral("1"));
    v.runFor(700);
    QCOMPARE(listTexts(p, "List8401"), QStringList{"Waiting for Card to be Taken"});
    QVERIFY(p.picture()->visibleMarkNames().contains(QStringLiteral("Q3")));
    QVERIFY(v.dev840.takeCard());
    // Many polls see the success; it counts once.
    v.runFor(1000);
    QCOMPARE(listTexts(p, "List8401"), QStringList{"Card Dispense Success"});
    QCOMPARE(label(p, "Label8406"), QStringLiteral("1"));
    QCOMPARE(label(p, "Label8408"), QStringLiteral("0"));

    // Status(AP): the two characters and the display decoding.
    p.KVR840AP_Click();
    QCOMPARE(child<QLineEdit>(p, "KVR840BACKVELUE")->text(), QStringLiteral("30"));
    QCOMPARE(v.window->trafficLog(),
             QStringLiteral("SD: 02 31 35 41 50 03 14 \r\nRD: 06 31 35 02 31 35 33 30 03 06 "
                            "\r\n\r\n"));

    // A refused dispense counts an error, not a command.
    v.dev840.injectFault(sim::DispenserFault::Nak);
    p.KVR840DC_Click();
    QCOMPARE(label(p, "Label8405"), QStringLiteral("1"));
    QCOMPARE(label(p, "Label8407"), QStringLiteral("1"));

    // A dispense the dispenser cannot run: rate recomputed, no error.
    v.dev840.setStackerCards(0);
    v.runFor(300);
    p.KVR840DC_Click();
    v.runFor(300);
    QCOMPARE(label(p, "Label8405"), QStringLiteral("2"));
    QCOMPARE(label(p, "Label8407"), QStringLiteral("1"));
    QCOMPARE(label(p, "Label8408"), QStringLiteral("50"));

    v.boxes.shown.clear();
    p.KVR840RS_Click();
    QCOMPARE(listTexts(p, "List8401"), QStringList{"Reset Success"});
    QCOMPARE(v.boxes.texts(), QStringList{"Reset Success\r\nChecking Working Situation\r\nWait "
                                          "for 2 Sec for next operation"});
    QCOMPARE(p.timers().first()->interval(), 1000);

    v.writes840.clear();
    p.KVR840IP_Click();
    p.KVR840IE_Click();
    QCOMPARE(commandTexts(v.writes840), QStringList({"15IP", "15IE"}));
    QVERIFY(!v.dev840.preDispenseAllowed());
    child<QListWidget>(p, "List8401")->addItem(QStringLiteral("x"));
    p.List8401_DblClick();
    QCOMPARE(child<QListWidget>(p, "List8401")->count(), 0);
}

void TestFakamain::zeroButtonsAndCommClose() {
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 100});
    v.dev840.setMechanics({.dispenseMs = 100, .holdAtMouth = false});
    QVERIFY(v.setUp820());
    QVERIFY(v.setUp840());
    v.k820().KVR820DC_Click();
    v.k840().KVR840DC_Click();
    v.runFor(1000);
    v.k820().KVR820Zero_Click();
    for (const char *name : {"Label8205", "Label8206", "Label8207", "Label8208", "Label82012",
                             "Label82011", "Label82010", "Label8209"})
        QCOMPARE(label(v.k820(), name), QStringLiteral("0"));
    QCOMPARE(label(v.k840(), "Label8405"), QStringLiteral("1"));
    QCOMPARE(label(v.k840(), "Label8406"), QStringLiteral("1"));

    v.k840().KVR840Close_Click();
    QCOMPARE(label(v.k840(), "Label8405"), QStringLiteral("0"));
    QVERIFY(!v.k840().port().PortOpen());
    QVERIFY(!v.k840().timers().first()->isActive());
    for (const char *name : {"KVR840DC", "AutoFaka840", "AutoStop840", "KVR840CS", "KVR840RS",
                             "KVR840IP", "KVR840IE", "KVR840AP"})
        QVERIFY(!enabled(v.k840(), name));
    QVERIFY(v.k820().port().PortOpen());
}

void TestFakamain::saveTo() {
    VirtualDispensers v;
    FakeSaveDialog dialog;
    QTemporaryDir dir;
    QVERIFY(v.setUp820());
    dialog.answer = dir.filePath(QStringLiteral("trace"));
    v.window->SaveTo_Click();
    QCOMPARE(dialog.request.title, QStringLiteral("Save As..."));
    QCOMPARE(v.boxes.shown.last().title, QStringLiteral("Save As..."));
    QCOMPARE(v.boxes.shown.last().icon, link::MsgIcon::None);
    QCOMPARE(v.boxes.texts().last(),
             QStringLiteral("File Name Is trace.TXT\r\nFull path and file Is ") +
                 dir.filePath(QStringLiteral("trace.TXT")));
    QFile saved(dir.filePath(QStringLiteral("trace.TXT")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), v.window->trafficLog().trimmed().toLatin1());

    // Cancelled: nothing.
    const int boxes = int(v.boxes.shown.size());
    dialog.answer.clear();
    v.window->SaveTo_Click();
    QCOMPARE(v.boxes.shown.size(), boxes);

    v.window->ClearData_Click();
    QVERIFY(v.window->trafficLog().isEmpty());
}

void TestFakamain::kvr820Positions_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("target");
    QTest::newRow("sensor 3") << "Stop at Sensor 3" << QByteArray::fromHex("024643310335") << 0;
    QTest::newRow("sensor 2") << "Stop at Sensor 2" << QByteArray::fromHex("024643360332") << 1;
    QTest::newRow("leave 3") << "Leave Sensor 3" << QByteArray::fromHex("024643320336") << 2;
    QTest::newRow("leave 2") << "Leave Sensor 2" << QByteArray::fromHex("024643330337") << 3;
    QTest::newRow("sensor 1") << "Stop at Sensor 1" << QByteArray::fromHex("024643370333") << 4;
    QTest::newRow("door") << "To the Door" << QByteArray::fromHex("024643340330") << 5;
    QTest::newRow("out") << "Out" << QByteArray::fromHex("024643300334") << 6;
}

// Each position goes out as its own frame; the target is kept only when the
// dispenser takes the command on.
void TestFakamain::kvr820Positions() {
    QFETCH(QString, item);
    QFETCH(QByteArray, frame);
    QFETCH(int, target);
    VirtualDispensers v;
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    child<QComboBox>(p, "KVR820FcAdd")->setCurrentText(item);
    v.writes820.clear();
    p.KVR820FC_Click();
    QVERIFY(!v.writes820.isEmpty());
    QCOMPARE(v.writes820.front().bytes, frame);
    QCOMPARE(p.state().fcTarget, target);

    // Refused: "Dispense Card to door" leaves the target as it was.
    v.dev820.injectFault(sim::DispenserFault::Nak);
    p.KVR820FC0_Click();
    QCOMPARE(p.state().fcTarget, target);
}

// The poll switches "Dispense(DC)" and "Capture(CP)" only; "Dispense(FC)"
// stays usable to send a card on. During a test whose first "DC" was refused,
// the poll still switches them by the status.
void TestFakamain::pollSwitchesDispenseAndCapture() {
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 100});
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    child<QComboBox>(p, "KVR820FcAdd")->setCurrentText(QStringLiteral("Stop at Sensor 1"));
    p.KVR820FC_Click();
    QCOMPARE(commandTexts(v.writes820), QStringList{"FC7"});
    v.runFor(1500);
    QVERIFY(!child<QPushButton>(p, "KVR820DC")->isEnabled());
    QVERIFY(child<QPushButton>(p, "KVR820CP")->isEnabled());
    QVERIFY(child<QPushButton>(p, "KVR820FC")->isEnabled());

    VirtualDispensers w;
    QVERIFY(w.setUp820());
    auto &q = w.k820();
    child<QRadioButton>(q, "Option8202_1")->setChecked(true);
    w.dev820.injectFault(sim::DispenserFault::Nak);
    q.Autofaka820_Click();
    QVERIFY(!q.state().autoRunning);
    w.runFor(1500);
    QVERIFY(child<QPushButton>(q, "KVR820DC")->isEnabled());
    QVERIFY(!child<QPushButton>(q, "KVR820CP")->isEnabled());
}

// A card in the channel that a reset does not clear is reset once; the status
// line then says it is still there.
void TestFakamain::cardLeftInTheChannel() {
    VirtualDispensers v;
    const sim::DispenserDevice820::Status atDoor{'0', '0', '0', '1'};
    v.dev820.setStatus(atDoor);
    QVERIFY(v.setUp820());
    // The card stays whatever the dispenser is told.
    for (int i = 0; i < 50; ++i) {
        v.dev820.setStatus(atDoor);
        v.runFor(100);
    }
    QCOMPARE(commandTexts(v.writes820).count(QStringLiteral("RS")), 1);
    QCOMPARE(v.boxes.texts().count(QStringLiteral("Reset Success\r\nChecking Working Situation"
                                                  "\r\nWait for 2 Sec for Next Operation")),
             1);
    QVERIFY2(v.window->lineReason().contains(QLatin1String("still in the channel")),
             qPrintable(v.window->lineReason()));
}

// "Comm Setup" to a port that does not exist while a test runs ends the test.
void TestFakamain::portClosedUnderATest() {
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 100});
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    child<QLineEdit>(p, "Text8201")->setText(QStringLiteral("5"));
    p.Autofaka820_Click();
    v.runFor(2000);
    QVERIFY(!v.setUp820(QStringLiteral("COM9")));
    v.boxes.shown.clear();
    v.runFor(10000);
    QCOMPARE(v.boxes.texts(), QStringList());
    QVERIFY(!p.timer(QStringLiteral("fakatime8202"))->isActive());
    QVERIFY(!child<QPushButton>(p, "Autostop820")->isEnabled());
}

// A KVR-840 that falls silent no longer shows its last status.
void TestFakamain::kvr840SilentPollEmptiesTheList() {
    VirtualDispensers v;
    QVERIFY(v.setUp840());
    v.runFor(300);
    auto *list = child<QListWidget>(v.k840(), "List8401");
    QVERIFY(list->count() > 0);
    v.dev840.injectFault(sim::DispenserFault::Silence);
    v.k840().Timer840_Timer();
    QCOMPARE(list->count(), 0);
}

// Over pseudo-terminals in real time: a poll tick on a line that a command
// holds sends nothing; a dispenser that went away leaves the window answering;
// closing the window in the middle of a wait ends it without a box.
void TestFakamain::awaitedWaitsOverPseudoTerminals() {
    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    sim::DispenserSim k820(sim::DispenserModel::Kvr820);
    QString error;
    if (!k820.start(&error))
        QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + error));
    k820.mapToPort(2);
    // Told on the simulator's thread.
    std::mutex mutex;
    QByteArray receivedBytes;
    k820.setTrafficListener([&](sim::Direction d, const QByteArray &bytes) {
        std::lock_guard lock(mutex);
        if (d == sim::Direction::FromProgram)
            receivedBytes += bytes;
    });
    const auto takeReceived = [&] {
        std::lock_guard lock(mutex);
        return std::exchange(receivedBytes, {});
    };
    auto window = std::make_unique<dispenser::Fakamain>();
    answerSetup(dialogs, QStringLiteral("COM2"));
    auto &p = *window->kvr820();
    p.KVR820Setup_Click();
    QVERIFY(p.port().PortOpen());

    // The KVR-840 tab set to the same port: the status line names the tab
    // that holds it.
    answerSetup(dialogs, QStringLiteral("COM2"));
    window->kvr840()->KVR840Setup_Click();
    QVERIFY(!window->kvr840()->port().PortOpen());
    QCOMPARE(window->lineReason(),
             QStringLiteral("COM2 is open on the KVR-820 tab of this window"));
    QCOMPARE(boxes.texts(), QStringList{"The Comm Port has been Used for One Quipment, Please "
                                        "Select Another Comm. Port"});

    // "Status(RF)" leaves the poll running; its acknowledgement comes at
    // 1.5 s, and the poll's ticks meanwhile send nothing.
    QTRY_VERIFY_WITH_TIMEOUT(!p.port().busy(), 5000);
    k820.injectFault(sim::DispenserFault::SlowAck, 1500, "RF");
    takeReceived();
    child<QPushButton>(p, "KVR820RF")->click();
    QVERIFY(p.port().busy());
    QVERIFY(p.timer(QStringLiteral("Timer820"))->isActive());
    QTest::qWait(1000);
    QCOMPARE(takeReceived(), QByteArray::fromHex("0252460315"));
    QVERIFY(testing::settle(5000));

    // A 10 ms timer of the window keeps its pace for a second: while a poll
    // waits out its 5 s for a dispenser that says nothing, and once the
    // dispenser is gone altogether.
    const auto keepsPace = [] {
        int ticks = 0;
        QTimer pace;
        QObject::connect(&pace, &QTimer::timeout, [&] { ++ticks; });
        QElapsedTimer clock;
        clock.start();
        pace.start(10);
        QTest::qWait(1000);
        pace.stop();
        return ticks >= 50 && clock.elapsed() < 1500;
    };
    takeReceived();
    k820.injectFault(sim::DispenserFault::Silence, 0, "AP");
    QTRY_VERIFY_WITH_TIMEOUT(p.port().busy(), 2000);
    QVERIFY(keepsPace());
    QVERIFY(p.port().busy());
    // A click meanwhile is not refused: it waits for the poll to end, and
    // sends nothing until then.
    child<QPushButton>(p, "KVR820AP")->click();
    QVERIFY(!window->lineReason().contains(QStringLiteral("busy")));
    // Nothing but the one poll's frame while it waits.
    QCOMPARE(takeReceived(), QByteArray::fromHex("0241500310"));
    k820.stop();
    QVERIFY(keepsPace());

    // Closed in the middle of a wait: no box afterwards, nothing left running.
    boxes.shown.clear();
    QVERIFY(p.port().busy() || p.timer(QStringLiteral("Timer820"))->isActive());
    window->close();
    window.reset();
    QVERIFY(testing::settle(1000));
    QTest::qWait(100);
    QCOMPARE(boxes.texts(), QStringList());

    // Destroyed without being closed, while a poll waits on a silent dispenser.
    QVERIFY(k820.start(&error));
    k820.mapToPort(2);
    window = std::make_unique<dispenser::Fakamain>();
    answerSetup(dialogs, QStringLiteral("COM2"));
    window->kvr820()->KVR820Setup_Click();
    QVERIFY(window->kvr820()->port().PortOpen());
    QVERIFY(testing::settle(5000));
    k820.injectFault(sim::DispenserFault::Silence, 0, "AP");
    QTRY_VERIFY_WITH_TIMEOUT(window->kvr820()->port().busy(), 2000);
    boxes.shown.clear();
    window.reset();
    QCOMPARE(link::Operations::runningAnywhere(), 0);
    QTest::qWait(100);
    QCOMPARE(boxes.texts(), QStringList());
    link::portmap::unmap(2);
}

QTEST_MAIN(TestFakamain)
#include "test_fakamain.moc"
