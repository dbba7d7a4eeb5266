// The "IC CARD" tab and the "CPU Card" and "Sam Card" windows against the
// simulated reader on a real pseudo-terminal.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "contact/contactcommands.h"
#include "contact/cpucard.h"
#include "contact/iccardtab.h"
#include "contact/samcard.h"
#include "link/exchange.h"
#include "link/operations.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/fault.h"
#include "sim/readersim.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include <functional>
#include <memory>
#include <mutex>

using namespace talvex;
using talvex::testing::child;
using talvex::testing::RecordingMessageBoxes;
using talvex::testing::ScriptedDialogs;

namespace {

constexpr int kPort = 7;
const QString kBusy =
    QStringLiteral("COM7 is busy with the command before; this one was not sent.");

// The answers to reset of the simulated cards and the card application's
// answer to SELECT of the master file.
const QString kCpuAtrT0 = QStringLiteral("3B6A000054414C56455820435055");
const QString kCpuAtrT1 = QStringLiteral("3BEA00008131FE4554414C5645582043505595");
const QString kSam3Atr = QStringLiteral("3B6B000054414C5645582053414D33");
const QString kMfAnswer = QStringLiteral("6F0984023F00A5038801019000");

sim::SimCard cpuCard(sim::CardProtocol protocol, sim::CardPlace place = sim::CardPlace::Inside) {
    return sim::contactCpuCard(protocol, place);
}

// The reader window's state, with what its status line was told.
struct StatusState : link::ReaderLinkState {
    using link::ReaderLinkState::ReaderLinkState;
    void showStatus(const QString &text) override { statuses << text; }
    QStringList statuses;
};

// The "IC CARD" tab on a port that the simulated reader answers, set up as
// "Setup Comm" leaves it.
struct Bench {
    explicit Bench(sim::ReaderModel model = sim::ReaderModel::Kvr638) : reader(model) {
        QString error;
        if (!reader.start(&error))
            qFatal("simulated reader did not start: %s", qPrintable(error));
        reader.mapToPort(kPort);
        port.setCommPort(kPort);
        port.setSettings(QStringLiteral("9600n81"));
        port.setPortOpen(true);
        state.m_portSetUp = true;
        state.m_keepLog = true;
        contact::protocolFlags() = {};
    }
    ~Bench() {
        port.setPortOpen(false);
        link::portmap::unmap(kPort);
    }

    // The command frames sent since the last call, as the traffic log shows them.
    QStringList sent() {
        QStringList frames;
        for (const QString &line : state.m_log.split(QStringLiteral("\r\n"))) {
            if (line.startsWith(QLatin1String("SD: ")) && line != QLatin1String("SD: 05"))
                frames << line.mid(4).trimmed();
        }
        state.m_log.clear();
        return frames;
    }
    QStringList boxTexts() {
        QStringList out;
        for (const link::MessageRequest &box : boxes.shown)
            out << box.title + QLatin1Char('|') + box.text;
        boxes.shown.clear();
        return out;
    }
    // Opens a window through its button on the tab and runs `user` in it.
    void inWindow(const char *button, std::function<void(QDialog &)> user) {
        dialogs.steps << [user](QDialog &window) {
            user(window);
            return int(QDialog::Accepted);
        };
        child<QPushButton>(tab, button)->click();
    }

    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    sim::ReaderSim reader;
    link::SerialComm port;
    StatusState state{port};
    contact::ICCardTab tab{state};
};

// A click, and the command it started run to its end.
void click(const QWidget &window, const char *name) {
    child<QPushButton>(window, name)->click();
    QVERIFY(talvex::testing::settle());
}
QString textOf(const QWidget &window, const char *name) {
    if (auto *line = window.findChild<QLineEdit *>(QLatin1String(name)))
        return line->text();
    return child<QPlainTextEdit>(window, name)->toPlainText();
}
void setCommand(const QWidget &window, const QString &text) {
    child<QComboBox>(window, "CmdText")->setCurrentText(text);
}

} // namespace

class TestContactWindows : public QObject {
    Q_OBJECT

private slots:
    void windowsOpenWithTheirDefaults();
    void slotCardApduFollowsTheLastReset();
    void samApduOfTheExample();
    void samSocketText_data();
    void samSocketText();
    void samResetBodies_data();
    void samResetBodies();
    void replies_data();
    void replies();
    void nothingWithoutPortSetUp_data();
    void nothingWithoutPortSetUp();
    void closingMidExchange_data();
    void closingMidExchange();
    void secondClickWhileBusy_data();
    void secondClickWhileBusy();
    void returnKey_data();
    void returnKey();
};

void TestContactWindows::windowsOpenWithTheirDefaults() {
    Bench bench;
    QTabWidget *strip = child<QTabWidget>(bench.tab, "SSTab2");
    QCOMPARE(child<QPushButton>(bench.tab, "PowerOnBtn")->text(), QStringLiteral("Power on"));
    QCOMPARE(child<QPushButton>(bench.tab, "PowerOffBtn")->text(), QStringLiteral("Power off"));
    QCOMPARE(child<QPushButton>(*strip->widget(0), "CPURUN")->text(),
             QStringLiteral("CPU Card Operation"));
    QCOMPARE(child<QPushButton>(*strip->widget(1), "SIMRUN")->text(),
             QStringLiteral("Sam Card Operation"));

    const QStringList ready = {"0084000008", "00A40000023F00",
                               "00A404000E315041592E5359532E4444463031"};
    const auto commandBox = [&](const QDialog &window) {
        auto *box = child<QComboBox>(window, "CmdText");
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, ready);
        QCOMPARE(box->currentText(), QStringLiteral("00A40000023F00"));
        QVERIFY(box->isEditable());
    };
    bench.inWindow("CPURUN", [&](QDialog &window) {
        QCOMPARE(window.windowTitle(), QStringLiteral("CPU Card"));
        QVERIFY(child<QRadioButton>(window, "Option1")->isChecked());
        QCOMPARE(child<QRadioButton>(window, "Option1")->text(), QStringLiteral("EMV Mode"));
        QCOMPARE(child<QRadioButton>(window, "Option2")->text(), QStringLiteral("ISO7816 Mode"));
        QCOMPARE(child<QPushButton>(window, "CPUColdReset")->text(), QStringLiteral("Cold Reset"));
        QCOMPARE(child<QPushButton>(window, "CPUWarmReset")->text(), QStringLiteral("Warm Reset"));
        commandBox(window);
    });
    bench.inWindow("SIMRUN", [&](QDialog &window) {
        QCOMPARE(window.windowTitle(), QStringLiteral("Sam Card"));
        auto *socket = child<QComboBox>(window, "SimNo1");
        QCOMPARE(socket->count(), 8);
        QCOMPARE(socket->itemText(7), QStringLiteral("SAM 8"));
        QCOMPARE(socket->currentText(), QStringLiteral("SAM 1"));
        QVERIFY(child<QRadioButton>(window, "SAMVOLTAGEOption_0")->isChecked());
        QCOMPARE(child<QRadioButton>(window, "SAMVOLTAGEOption_2")->text(),
                 QStringLiteral("ISO7816(3V)"));
        QCOMPARE(static_cast<contact::SimCard &>(window).voltageCode(), quint8(0x30));
        commandBox(window);
    });
    QCOMPARE(bench.sent(), QStringList());
}

void TestContactWindows::slotCardApduFollowsTheLastReset() {
    Bench bench;
    bench.reader.setCard(cpuCard(sim::CardProtocol::T1));
    bench.inWindow("CPURUN", [&](QDialog &window) {
        child<QRadioButton>(window, "Option2")->click();
        click(window, "CPUColdReset");
        QCOMPARE(bench.sent(), QStringList{"02 00 03 37 30 31 03 34"});
        QCOMPARE(textOf(window, "ResetText"), kCpuAtrT1);
        QCOMPARE(bench.boxTexts(), QStringList{"CPU Card Reset|Reset Success(T=1)"});
        click(window, "SendCmd");
        QCOMPARE(bench.sent(), QStringList{"02 00 0B 37 32 00 07 00 A4 00 00 02 3F 00 03 91"});
        QCOMPARE(textOf(window, "BackText"), kMfAnswer);
        QCOMPARE(bench.boxTexts(), QStringList{"C-APDU|Success"});
    });
    // The protocol outlives the window.
    bench.reader.setCard(cpuCard(sim::CardProtocol::T0));
    bench.inWindow("CPURUN", [&](QDialog &window) {
        QCOMPARE(textOf(window, "ResetText"), QString());
        click(window, "SendCmd");
        QCOMPARE(bench.sent(), QStringList{"02 00 0B 37 32 00 07 00 A4 00 00 02 3F 00 03 91"});
        QCOMPARE(bench.boxTexts(), QStringList{"C-APDU|Error"}); // the new card is not reset
        QCOMPARE(textOf(window, "BackText"), QString());
        click(window, "CPUColdReset");
        QCOMPARE(bench.sent(), QStringList{"02 00 03 37 30 30 03 35"});
        QCOMPARE(textOf(window, "ResetText"), kCpuAtrT0);
        QCOMPARE(bench.boxTexts(), QStringList{"CPU Card Reset|Reset Success(T=0)"});
        click(window, "SendCmd");
        QCOMPARE(bench.sent(), QStringList{"02 00 0B 37 31 00 07 00 A4 00 00 02 3F 00 03 92"});
        QCOMPARE(textOf(window, "BackText"), kMfAnswer);
        click(window, "CPUWarmReset");
        QCOMPARE(bench.sent(), QStringList{"02 00 02 37 2F 03 1B"});
        QCOMPARE(textOf(window, "BackText"), QString());
        QCOMPARE(textOf(window, "ResetText"), kCpuAtrT0);
        click(window, "Down");
        QCOMPARE(bench.sent(), QStringList{"02 00 02 33 31 03 01"});
        QCOMPARE(textOf(window, "ResetText"), QString());
        bench.boxTexts();
        click(window, "BackCmd");
        QCOMPARE(window.result(), int(QDialog::Accepted));
    });
    QCOMPARE(contact::protocolFlags().slotCard, qint16(0));
    QCOMPARE(contact::protocolFlags().sam, qint16(0));
}

void TestContactWindows::samApduOfTheExample() {
    Bench bench;
    bench.inWindow("SIMRUN", [&](QDialog &window) {
        child<QComboBox>(window, "SimNo1")->setCurrentIndex(2);
        click(window, "SimReset");
        QCOMPARE(bench.sent(), QStringList{"02 00 04 3D 30 32 30 03 0A"});
        QCOMPARE(textOf(window, "ResetTextBack"), kSam3Atr);
        QCOMPARE(bench.boxTexts(), QStringList{"SAM Card Reset|Reset Success(T=0)"});
        click(window, "SendCmd");
        QCOMPARE(bench.sent(), QStringList{"02 00 0C 3D 31 32 00 07 00 A4 00 00 02 3F 00 03 AD"});
        QCOMPARE(textOf(window, "BackText"), kMfAnswer);
        QCOMPARE(bench.boxTexts(), QStringList{"C-APDU|Success"});
        click(window, "Down");
        QCOMPARE(bench.sent(), QStringList{"02 00 02 4A 31 03 78"});
        QCOMPARE(textOf(window, "BackText"), QString());
        QCOMPARE(textOf(window, "ResetTextBack"), QString());
        QCOMPARE(bench.boxTexts(), QStringList{"Power Off|Power Off Success"});
    });

    // A SAM in T=1 changes the SAM flag only.
    sim::SamSockets sams = bench.reader.sams();
    sams[1].chip.protocol = sim::CardProtocol::T1;
    bench.reader.setSams(sams);
    bench.inWindow("SIMRUN", [&](QDialog &window) {
        child<QComboBox>(window, "SimNo1")->setCurrentIndex(1);
        click(window, "SimReset");
        QCOMPARE(bench.boxTexts(), QStringList{"SAM Card Reset|Reset Success(T=1)"});
        setCommand(window, QStringLiteral("0084000008"));
        click(window, "SendCmd");
        QCOMPARE(bench.sent().last(),
                 QStringLiteral("02 00 0A 3D 32 31 00 05 00 84 00 00 08 03 BC"));
        QCOMPARE(textOf(window, "BackText").size(), 20); // eight random bytes and 9000
        QVERIFY(textOf(window, "BackText").endsWith(QLatin1String("9000")));
    });
    QCOMPARE(contact::protocolFlags().sam, qint16(1));
    QCOMPARE(contact::protocolFlags().slotCard, qint16(0));
}

// Socket texts off the list are the bad-input suite's; the reader has eight
// sockets and says so. The length byte of the SAM frame comes before the socket
// code, the APDU bytes after it: a bad socket is named before a bad pair, not
// before a command too long for the frame.
void TestContactWindows::samSocketText_data() {
    QTest::addColumn<QString>("socket");
    QTest::addColumn<QString>("command"); // empty: "Reset"
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("box");

    const auto row = [](const char *name, const char *socket, const QString &command,
                        QStringList frames, const char *box) {
        QTest::newRow(name) << QString::fromLatin1(socket) << command << frames
                            << QString::fromLatin1(box);
    };
    const char *noSam = "Caution|Please Choose SAM Number First";
    row("SAM 8", "SAM 8", {}, {"02 00 04 3D 30 37 30 03 0F"}, "SAM Card Reset|Reset Success(T=0)");
    row("SAM 12 typed", "SAM 12", {}, {"02 00 04 3D 30 3B 30 03 03"}, "Error|Parameter Wrong");
    row("G in a pair", "SAM 15", QStringLiteral("00G4"), {}, noSam);
    row("blank pair", "SAM 15", QStringLiteral("00A4  00"), {}, noSam);
    row("251 bytes", "SAM 15", QString(502, QLatin1Char('0')), {},
        "Caution|Error:Please check the data effective");
}

void TestContactWindows::samSocketText() {
    QFETCH(QString, socket);
    QFETCH(QString, command);
    QFETCH(QStringList, frames);
    QFETCH(QString, box);

    Bench bench;
    contact::SimCard window(bench.state);
    child<QComboBox>(window, "SimNo1")->setEditText(socket);
    if (!command.isEmpty())
        setCommand(window, command);
    click(window, command.isEmpty() ? "SimReset" : "SendCmd");
    QCOMPARE(bench.sent(), frames);
    QCOMPARE(bench.boxTexts(), QStringList{box});
}

void TestContactWindows::samResetBodies_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<bool>("byKeys"); // chosen without a click: keys, accessibility, the program
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("voltage");

    const auto row = [](const char *name, QList<int> clicks, bool byKeys, const char *frame,
                        int voltage) {
        QTest::newRow(name) << clicks << byKeys << QString::fromLatin1(frame) << voltage;
    };
    row("as loaded: EMV", {}, false, "02 00 04 3D 30 30 30 03 08", 0x30);
    row("ISO7816(5V)", {1}, false, "02 00 04 3D 30 30 31 03 09", 0x30);
    row("ISO7816(3V)", {2}, false, "02 00 04 3D 2F 30 31 03 16", 0x2F);
    row("3V, then 5V", {2, 1}, false, "02 00 04 3D 30 30 31 03 09", 0x30);
    row("3V by keys", {2}, true, "02 00 04 3D 2F 30 31 03 16", 0x2F);
    row("3V, then EMV by keys", {2, 0}, true, "02 00 04 3D 30 30 30 03 08", 0x30);
}

void TestContactWindows::samResetBodies() {
    QFETCH(QList<int>, clicks);
    QFETCH(bool, byKeys);
    QFETCH(QString, frame);
    QFETCH(int, voltage);

    Bench bench;
    contact::SimCard window(bench.state);
    for (int index : clicks) {
        auto *option = child<QRadioButton>(
            window, qPrintable(QStringLiteral("SAMVOLTAGEOption_%1").arg(index)));
        if (byKeys)
            option->setChecked(true);
        else
            option->click();
    }
    QCOMPARE(window.voltageCode(), quint8(voltage));
    click(window, "SimReset");
    QCOMPARE(bench.sent(), QStringList{frame});
    QCOMPARE(textOf(window, "ResetTextBack"), QStringLiteral("3B6B000054414C5645582053414D31"));
}

void TestContactWindows::replies_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("box"); // empty: none

    using K = sim::CardKind;
    using P = sim::CardPlace;
    const QString position = QStringLiteral("The card is not on the IC card operation position");
    const auto row = [](const char *name, K kind, P place, const char *action, QString box) {
        QTest::newRow(name) << int(kind) << int(place) << QString::fromLatin1(action) << box;
    };
    row("power on", K::ContactCpu, P::Inside, "PowerOnBtn", "Power On|Power On Success");
    row("power on, card at the front", K::ContactCpu, P::Front, "PowerOnBtn",
        "Power On|" + position);
    row("power off", K::Plain, P::Inside, "PowerOffBtn", "Power Off|Power Off Success");
    row("reset, no card", K::None, P::Inside, "CPUColdReset", "Card Reset|No Card In The Reader");
    row("reset of a card without a chip", K::Plain, P::Inside, "CPUColdReset",
        "Card Reset|Reset Error");
    row("warm reset of an unpowered card", K::ContactCpu, P::Inside, "CPUWarmReset",
        "Card Reset|Reset Error");
    row("APDU, card at the front", K::ContactCpu, P::Front, "SendCmd",
        "C-APDU|The card is not at the IC card position");
    row("window power off, no card", K::None, P::Inside, "Down", "");
}

void TestContactWindows::replies() {
    QFETCH(int, kind);
    QFETCH(int, place);
    QFETCH(QString, action);
    QFETCH(QString, box);

    Bench bench;
    sim::SimCard card = cpuCard(sim::CardProtocol::T0, static_cast<sim::CardPlace>(place));
    card.kind = static_cast<sim::CardKind>(kind);
    bench.reader.setCard(card);
    contact::CPUCARD window(bench.state);
    QWidget &target =
        action.startsWith(QLatin1String("Power")) ? static_cast<QWidget &>(bench.tab) : window;
    click(target, qPrintable(action));
    const QHash<QString, QString> frames = {
        {"PowerOnBtn", "02 00 02 33 30 03 00"},
        {"PowerOffBtn", "02 00 02 33 31 03 01"},
        {"Down", "02 00 02 33 31 03 01"},
        {"CPUColdReset", "02 00 03 37 30 30 03 35"},
        {"CPUWarmReset", "02 00 02 37 2F 03 1B"},
        {"SendCmd", "02 00 0B 37 31 00 07 00 A4 00 00 02 3F 00 03 92"},
    };
    QCOMPARE(bench.sent(), QStringList{frames.value(action)});
    QCOMPARE(bench.boxTexts(), box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(textOf(window, "ResetText"), QString());
    QCOMPARE(contact::protocolFlags().slotCard, qint16(0));
}

void TestContactWindows::nothingWithoutPortSetUp_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("button");
    for (const char *button : {"PowerOnBtn", "PowerOffBtn", "CPURUN", "SIMRUN"})
        QTest::addRow("tab %s", button) << "tab" << button;
    for (const char *button : {"CPUColdReset", "CPUWarmReset", "SendCmd", "Down"})
        QTest::addRow("CPU Card %s", button) << "cpu" << button;
    for (const char *button : {"SimReset", "SendCmd", "Down"})
        QTest::addRow("Sam Card %s", button) << "sam" << button;
}

void TestContactWindows::nothingWithoutPortSetUp() {
    QFETCH(QString, window);
    QFETCH(QString, button);

    Bench bench;
    bench.state.m_portSetUp = false;
    contact::CPUCARD cpu(bench.state);
    contact::SimCard sam(bench.state);
    QWidget *target = window == QLatin1String("tab")   ? static_cast<QWidget *>(&bench.tab)
                      : window == QLatin1String("cpu") ? static_cast<QWidget *>(&cpu)
                                                       : &sam;
    click(*target, qPrintable(button));
    QCOMPARE(bench.boxTexts(), QStringList{"Caution|Comm. Port Setup First"});
    QCOMPARE(bench.sent(), QStringList());
    QCOMPARE(bench.dialogs.classes, QStringList());
}

// A window closed while its command waits on the reader: the command ends
// there, without a box, and the reader's line serves the next one.
void TestContactWindows::closingMidExchange_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("how");

    const auto row = [](const char *name, const char *opener, const char *button, const char *frame,
                        const char *how) {
        QTest::newRow(name) << QString::fromLatin1(opener) << QString::fromLatin1(button)
                            << QString::fromLatin1(frame) << QString::fromLatin1(how);
    };
    const char *apdu = "02 00 0B 37 31 00 07 00 A4 00 00 02 3F 00 03 92";
    row("CPU Card, Exit", "CPURUN", "SendCmd", apdu, "Exit");
    row("CPU Card, Escape", "CPURUN", "CPUColdReset", "02 00 03 37 30 30 03 35", "Escape");
    row("CPU Card, close box", "CPURUN", "SendCmd", apdu, "close box");
    row("CPU Card, gone", "CPURUN", "Down", "02 00 02 33 31 03 01", "gone");
    row("Sam Card, Exit", "SIMRUN", "SimReset", "02 00 04 3D 30 30 30 03 08", "Exit");
    row("Sam Card, close box", "SIMRUN", "Down", "02 00 02 4A 31 03 78", "close box");
}

void TestContactWindows::closingMidExchange() {
    QFETCH(QString, opener);
    QFETCH(QString, button);
    QFETCH(QString, frame);
    QFETCH(QString, how);

    std::mutex mutex;
    QByteArray wire; // what reached the reader, ENQs included
    Bench bench;
    bench.reader.setTrafficListener([&](sim::Direction d, const QByteArray &bytes) {
        if (d == sim::Direction::FromProgram) {
            std::lock_guard lock(mutex);
            wire += bytes;
        }
    });
    bench.reader.setCard(cpuCard(sim::CardProtocol::T0));
    bench.reader.injectFault(sim::Fault::delay(150));
    bench.inWindow(qPrintable(opener), [&](QDialog &window) {
        window.show();
        child<QPushButton>(window, qPrintable(button))->click();
        QCOMPARE(link::Operations::runningAnywhere(), 1); // waits for the ACK
        if (how == QLatin1String("Exit"))
            child<QPushButton>(window, "BackCmd")->click();
        else if (how == QLatin1String("Escape"))
            QTest::keyClick(&window, Qt::Key_Escape);
        else if (how == QLatin1String("close box"))
            window.close();
        if (how != QLatin1String("gone")) {
            QCOMPARE(link::Operations::runningAnywhere(), 0);
            QVERIFY(!window.isVisible());
        }
    });
    QCOMPARE(link::Operations::runningAnywhere(), 0);
    QTest::qWait(400); // the reader's late ACK arrives and gets no ENQ
    {
        std::lock_guard lock(mutex);
        QCOMPARE(QString::fromLatin1(wire.toHex(' ').toUpper()), frame);
    }
    QCOMPARE(bench.boxTexts(), QStringList());
    bench.sent();

    click(bench.tab, "PowerOnBtn");
    QCOMPARE(bench.sent(), QStringList{"02 00 02 33 30 03 00"});
    QCOMPARE(bench.boxTexts(), QStringList{"Power On|Power On Success"});
    QCOMPARE(bench.state.statuses, QStringList());
}

// One command at a time on the reader's line, whichever window asks: a second
// click sends nothing and says so on the status line.
void TestContactWindows::secondClickWhileBusy_data() {
    QTest::addColumn<QString>("first"); // "window/button"
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("box");

    const auto row = [](const char *name, const char *first, const char *second, const char *frame,
                        const char *box) {
        QTest::newRow(name) << QString::fromLatin1(first) << QString::fromLatin1(second)
                            << QString::fromLatin1(frame) << QString::fromLatin1(box);
    };
    const char *apdu = "02 00 0B 37 31 00 07 00 A4 00 00 02 3F 00 03 92";
    const char *samReset = "02 00 04 3D 30 30 30 03 08";
    const char *samResetBox = "SAM Card Reset|Reset Success(T=0)";
    row("Send APDU twice", "cpu/SendCmd", "cpu/SendCmd", apdu, "C-APDU|Error");
    row("Power Off during Send APDU", "cpu/SendCmd", "cpu/Down", apdu, "C-APDU|Error");
    row("tab power on during cold reset", "cpu/CPUColdReset", "tab/PowerOnBtn",
        "02 00 03 37 30 30 03 35", "CPU Card Reset|Reset Success(T=0)");
    row("memory card read during SAM reset", "sam/SimReset", "tab/SL4442ReadCenChu", samReset,
        samResetBox);
    row("SAM APDU during tab power off", "tab/PowerOffBtn", "sam/SendCmd", "02 00 02 33 31 03 01",
        "Power Off|Power Off Success");
    row("Sam Reset twice", "sam/SimReset", "sam/SimReset", samReset, samResetBox);
}

void TestContactWindows::secondClickWhileBusy() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, frame);
    QFETCH(QString, box);

    Bench bench;
    bench.reader.setCard(cpuCard(sim::CardProtocol::T0));
    contact::CPUCARD cpu(bench.state);
    contact::SimCard sam(bench.state);
    bench.reader.injectFault(sim::Fault::delay(100)); // the first command is sure to wait
    const auto press = [&](const QString &what) {
        const QStringList parts = what.split(QLatin1Char('/'));
        QWidget &window = parts.at(0) == QLatin1String("cpu")   ? static_cast<QWidget &>(cpu)
                          : parts.at(0) == QLatin1String("sam") ? static_cast<QWidget &>(sam)
                                                                : bench.tab;
        child<QPushButton>(window, qPrintable(parts.at(1)))->click();
    };
    press(first);
    QCOMPARE(link::Operations::runningAnywhere(), 1);
    press(second);
    QCOMPARE(bench.state.statuses, QStringList{kBusy});
    QVERIFY(talvex::testing::settle());
    QCOMPARE(bench.sent(), QStringList{frame});
    QCOMPARE(bench.boxTexts(), QStringList{box});
}

// Return presses the button that has the focus; in the command box it sends
// the command.
void TestContactWindows::returnKey_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<bool>("closed");

    const auto row = [](const char *name, const char *window, const char *control,
                        QStringList frames, bool closed) {
        QTest::newRow(name) << QString::fromLatin1(window) << QString::fromLatin1(control) << frames
                            << closed;
    };
    row("CPU Card, Cold Reset", "cpu", "CPUColdReset", {"02 00 03 37 30 30 03 35"}, false);
    row("CPU Card, command box", "cpu", "CmdText",
        {"02 00 0B 37 31 00 07 00 A4 00 00 02 3F 00 03 92"}, false);
    row("Sam Card, Exit", "sam", "BackCmd", {}, true);
    row("Sam Card, command box", "sam", "CmdText",
        {"02 00 0C 3D 31 30 00 07 00 A4 00 00 02 3F 00 03 AF"}, false);
}

void TestContactWindows::returnKey() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QStringList, frames);
    QFETCH(bool, closed);

    Bench bench;
    bench.reader.setCard(cpuCard(sim::CardProtocol::T0));
    std::unique_ptr<QDialog> dialog;
    if (window == QLatin1String("cpu"))
        dialog = std::make_unique<contact::CPUCARD>(bench.state);
    else
        dialog = std::make_unique<contact::SimCard>(bench.state);
    dialog->show();
    QWidget *target =
        control == QLatin1String("CmdText")
            ? child<QComboBox>(*dialog, "CmdText")->lineEdit()
            : static_cast<QWidget *>(child<QPushButton>(*dialog, qPrintable(control)));
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    QVERIFY(talvex::testing::settle());
    QCOMPARE(bench.sent(), frames);
    QCOMPARE(dialog->isVisible(), !closed);
}

QTEST_MAIN(TestContactWindows)
#include "test_contactwindows.moc"
