#include "link/blockon.h"
#include "support/fakeclock.h"
#include "support/recordingmessageboxes.h"
#include "support/scriptedbackend.h"
#include "support/scripteddialogs.h"
#include "support/scriptedreader.h"

#include "link/clock.h"
#include "link/frame.h"
#include "link/operations.h"
#include "link/portmap.h"
#include "link/recordfile.h"
#include "shell/readermain.h"
#include "sim/readermodel.h"
#include "sim/fault.h"
#include "sim/readersim.h"
#include "ui/seams.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QMutex>
#include <QTimer>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

using namespace talvex;
using talvex::shell::ReaderMain;
using talvex::testing::child;
using talvex::testing::FakeClock;
using talvex::testing::RecordingMessageBoxes;
using talvex::testing::ScriptedBackend;
using talvex::testing::ScriptedDialogs;
using talvex::testing::ScriptedReader;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

// Enabled in its own right, whatever its frame says.
bool ownEnabled(const QWidget *widget) {
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

// Stands in for the file dialog (answering with pick) and the text editor.
struct FakeDesktop final : ui::FileDialogs, ui::EditorLauncher {
    FakeDesktop() { ui::setFileDialogs(this), ui::setEditorLauncher(this); }
    ~FakeDesktop() override { ui::setFileDialogs(nullptr), ui::setEditorLauncher(nullptr); }
    QString openFile(const ui::OpenFileRequest &request) override { return opens << request, pick; }
    QString saveFile(const ui::SaveFileRequest &) override { return {}; }
    bool openInEditor(const QString &path) override { return opened << path, true; }
    QList<ui::OpenFileRequest> opens;
    QString pick;
    QStringList opened;
};

// A reader window whose COM1 is a scripted reader, opened and set up the way a
// successful "Communication Setting" leaves it.
struct ScriptedBench {
    ScriptedBench() {
        line.onWrite = [this](const QByteArray &w, ScriptedBackend &l) { reader.respond(w, l); };
        link::portmap::mapBackend(
            1, [this] { return std::make_unique<testing::ScriptedLineHandle>(line); });
        window.readerPort().setCommPort(1);
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
    }
    ~ScriptedBench() { link::portmap::unmap(1); }

    template <typename T> T *find(const char *name) const { return child<T>(window, name); }
    QWidget *control(const char *name) const { return child(window, name); }
    QString model() const { return find<QLabel>("TypeLabel")->text(); }
    QWidget *picture(int i) const {
        return control(qPrintable(QStringLiteral("TypeImage_%1").arg(i)));
    }
    QList<int> pictures() const {
        QList<int> shown;
        for (int i = 0; i < 6; ++i) {
            if (!picture(i)->isHidden())
                shown.append(i);
        }
        return shown;
    }
    void hidePictures() const {
        for (int i = 0; i < 6; ++i)
            picture(i)->hide();
    }
    QList<QByteArray> frames() const { return ScriptedReader::commands(line); }
    void detect(const QByteArray &resetData) {
        reader.replyTo = [resetData](const QByteArray &command) {
            const QByteArray body = command.mid(3, command.size() - 5);
            return link::buildReaderFrame(body == "00" ? "P0" + resetData : body.left(2) + "Y");
        };
        link::blockOn(window.DetectReaderModel());
    }
    void run(const QString &commandText) {
        find<QLineEdit>("CommandStr")->setText(commandText);
        find<QPushButton>("ExuteCommandBtn")->click();
    }

    FakeClock clock;
    link::ScopedClock scopedClock{clock};
    ScriptedBackend line{clock};
    ScriptedReader reader;
    RecordingMessageBoxes boxes;
    ScriptedDialogs readingMethod; // detecting a KVR-523 asks how it reads: Cancel
    ReaderMain window;
};

// Each model's column of the layout table: T enabled (shown), F disabled
// (hidden), C decided by "Permit Initiative Uploading" (clear here: disabled).
struct ExpectedRow {
    const char *control;
    const char *cells; // KVR-416 523 527 634 638 690
};
const ExpectedRow kExpectedLayout[] = {
    {"IRPOP", "FFTTTT"},        {"McardFrame1", "FTFTTT"},  {"McardFrame2", "FCFTTT"},
    {"RFcardFrame1", "FTTTTT"}, {"RFcardFrame2", "FTTTTT"}, {"OTHERFRAME1", "FTTTTT"},
    {"OTHERFRAME2", "FFFFTT"},  {"OTHERFRAME3", "FTTTTT"},  {"SensorState", "FFFFTT"},
    {"IRProhibit", "FFFFTT"},   {"IRWeizhi", "FFFFFT"},
};

QString readSystemText(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    QStringDecoder decoder(QStringConverter::System);
    return decoder.decode(file.readAll());
}

} // namespace

class TestReaderMain : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_recordDir.reset(new QTemporaryDir);
        link::setRecordFolder(m_recordDir->path());
    }
    void cleanup() { link::setRecordFolder(QString()); }

    void opensWithoutModel();
    void detectsModelFromResetReply_data();
    void detectsModelFromResetReply();
    void silentReaderDuringSetupComm();
    void setupCommCancelledWhileSetUpDetectsAgain();
    void lineFailuresKeepTheTextsAndNameTheCause_data();
    void lineFailuresKeepTheTextsAndNameTheCause();
    void layoutByModel_data();
    void layoutByModel();
    void uploadCheckBoxDecidesMagneticControls();
    void unknownModelNameChangesNothing();
    void lockForAutoRead();
    void commandLine_data();
    void commandLine();
    void clearBufferData_data();
    void clearBufferData();
    void clearDataEmptiesLog();
    void closeCommForgetsModelAndDropsLines();
    void linkLabelAndHelpWindow();
    void recordFileNeedsPortAndModel();
    void recordFileBlocks_data();
    void recordFileBlocks();
    void openCommandLog();
    void detectsEverySimulatedModel_data();
    void detectsEverySimulatedModel();
    void boxesShowDeviceTextAsItIs();
    void waitsLeaveTheWindowFree_data();
    void waitsLeaveTheWindowFree();

private:
    std::unique_ptr<QTemporaryDir> m_recordDir;
};

void TestReaderMain::opensWithoutModel() {
    ReaderMain window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Talvex5.0_EN"));
    QVERIFY(!window.portSetUp());

    auto *tabs = child<QTabWidget>(window, "SSTab1");
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    QCOMPARE(captions, (QStringList{"MAGNETIC CARD", "MIFARE ONE", "TYPE A /TYPE B", "IC CARD",
                                    "Extend Function", "MONITOR"}));
    QCOMPARE(child<QTabWidget>(window, "SSTab2")->tabText(8), QStringLiteral("AT88SC102"));
    QCOMPARE(child<QLabel>(window, "TypeLabel")->text(), QString());
    QCOMPARE(child<QLineEdit>(window, "CommandStr")->text(), QStringLiteral("30 30"));
    QCOMPARE(child<QLabel>(window, "OpenshuomingFormLabel1")->text(),
             QStringLiteral("The command line, do not enter the STX (02), length (LH, LL), ETX "
                            "(03) and the BCC, just enter the command and parameters and data "
                            "packet 16 hex strings (for details please click here to see "
                            "instructions)"));
    QVERIFY(child<QPlainTextEdit>(window, "SDTDText")->isReadOnly());

    // Everything is laid out to fit a 1366x768 screen, taskbar included.
    const QSize minimum = window.minimumSizeHint();
    QVERIFY2(minimum.width() <= 1366 && minimum.height() <= 720,
             qPrintable(QStringLiteral("%1x%2").arg(minimum.width()).arg(minimum.height())));
}

void TestReaderMain::detectsModelFromResetReply_data() {
    QTest::addColumn<QByteArray>("resetData");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QList<int>>("pictures");

    QTest::newRow("416 version text") << QByteArray("Ver 3.2") << "KVR-416" << QList<int>{4};
    // Searching is case-sensitive: "ver" is not the KVR-416's version text.
    QTest::newRow("lower-case ver") << QByteArray("ver 2.1") << "" << QList<int>{};
    // Keys are not exclusive: the last one found names the model, every one
    // found keeps its picture.
    QTest::newRow("Ver and 690") << QByteArray("Ver690") << "KVR-690" << QList<int>{3, 4};
    QTest::newRow("no key") << QByteArray("XYZ-100") << "" << QList<int>{};
    // Bytes 0 and 1 of the reply are not searched.
    QTest::newRow("key only in the status bytes") << QByteArray() << "" << QList<int>{};
}

void TestReaderMain::detectsModelFromResetReply() {
    QFETCH(QByteArray, resetData);
    QFETCH(QString, model);
    QFETCH(QList<int>, pictures);

    ScriptedBench bench;
    bench.hidePictures(); // as "Setup Comm" leaves them before detection
    if (resetData.isEmpty()) {
        bench.reader.setReply(link::buildReaderFrame("690"));
        link::blockOn(bench.window.DetectReaderModel());
    } else {
        bench.detect(resetData);
    }

    QCOMPARE(bench.frames(), QList<QByteArray>{hex("02000230300303")});
    QCOMPARE(bench.model(), model);
    QCOMPARE(bench.pictures(), pictures);
    QCOMPARE(bench.find<QPushButton>("IRPOP")->text(),
             model == "KVR-690" ? QStringLiteral("Move Card") : QStringLiteral("Eject"));
    QCOMPARE(bench.boxes.texts(), QStringList());
    if (model.isEmpty()) // no model, no layout
        QVERIFY(bench.control("OTHERFRAME2")->isEnabled());
}

void TestReaderMain::silentReaderDuringSetupComm() {
    ScriptedBench bench;
    bench.detect("KVR638");
    QCOMPARE(bench.model(), QStringLiteral("KVR-638"));

    ScriptedDialogs dialogs;
    dialogs.steps << [&](QDialog &) {
        bench.window.setPortSetUp(true);
        return int(QDialog::Accepted);
    };
    bench.reader.replyTo = [](const QByteArray &) -> std::optional<QByteArray> { return {}; };
    bench.find<QPushButton>("IROpencom")->click();

    QCOMPARE(dialogs.classes, QStringList{QStringLiteral("talvex::shell::comportset")});
    QCOMPARE(bench.boxes.texts(),
             QStringList{QStringLiteral("Communication Error\r\nPossible causes:\r\n"
                                        "1)Communication setup error\r\n2)Wrong model selected\r\n"
                                        "3)No connected\r\n4)No power on unit")});
    QCOMPARE(bench.model(), QStringLiteral("KVR-638"));
    QCOMPARE(bench.pictures(), QList<int>());
    QVERIFY(!bench.find<QCheckBox>("CheckRecord")->isChecked());
}

void TestReaderMain::setupCommCancelledWhileSetUpDetectsAgain() {
    ScriptedBench bench;
    bench.detect("KVR638");
    QCOMPARE(bench.pictures(), (QList<int>{0, 5}));
    bench.window.appendTrafficLog(QStringLiteral("earlier\r\n"));

    ScriptedDialogs dialogs; // Cancel: the port stays set up
    bench.reader.setReply(link::buildReaderFrame("P0KVR690"));
    bench.find<QPushButton>("IROpencom")->click();

    QCOMPARE(dialogs.classes.size(), 1);
    QCOMPARE(bench.frames(), (QList<QByteArray>(2, hex("02000230300303"))));
    QCOMPARE(bench.model(), QStringLiteral("KVR-690"));
    QCOMPARE(bench.pictures(), QList<int>{3});
    // "Record Data" was on for the detection: the earlier log stays.
    QVERIFY(bench.window.trafficLog().contains(
        QStringLiteral("earlier\r\nSD: 02 00 02 30 30 03 03 \r\nRD: 06\r\n")));
    QVERIFY(!bench.find<QCheckBox>("CheckRecord")->isChecked());
    QVERIFY(bench.boxes.shown.isEmpty());
}

void TestReaderMain::lineFailuresKeepTheTextsAndNameTheCause_data() {
    using Break = std::function<void(ScriptedBench &)>;
    QTest::addColumn<Break>("breakLine");
    QTest::addColumn<bool>("duringCommand"); // else while opening the port
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("reason");

    const QString dataFault = QStringLiteral("Error:Please check the data effective");
    const QString used =
        QStringLiteral("Comm. Port is Used for Some Equipment, Please Select Other One");
    const auto openFails = [](link::LineFault fault) {
        return Break([fault](ScriptedBench &b) {
            b.line.openError = 8005;
            b.line.openFault = fault;
        });
    };
    QTest::newRow("port closed while set up")
        << Break([](ScriptedBench &b) { b.window.readerPort().setPortOpen(false); }) << true
        << dataFault << QStringLiteral("COM1: the port is not open. Use Setup Comm to open it.");
    QTest::newRow("permission denied on open")
        << openFails(link::LineFault::PermissionDenied) << false << used
        << QStringLiteral("COM1: permission denied. Your user needs access to the serial device, "
                          "e.g. membership of the dialout group: sudo usermod -aG dialout $USER, "
                          "then log out and in again.");
    QTest::newRow("held by another program")
        << openFails(link::LineFault::HeldElsewhere) << false << used
        << QStringLiteral("COM1: the port is held by another program. Close that program or "
                          "choose another port.");
}

void TestReaderMain::lineFailuresKeepTheTextsAndNameTheCause() {
    using Break = std::function<void(ScriptedBench &)>;
    QFETCH(Break, breakLine);
    QFETCH(bool, duringCommand);
    QFETCH(QString, box);
    QFETCH(QString, reason);

    ScriptedBench bench;
    auto *status = bench.find<QLabel>("StatusLine");
    ScriptedDialogs dialogs;
    const auto pressOk = [](QDialog &dialog) {
        child<QPushButton>(dialog, "Command1")->click();
        return dialog.result();
    };
    breakLine(bench);
    if (duringCommand) {
        bench.run("30 30");
        // Nothing of the broken exchange is logged, only the command line's break.
        QCOMPARE(bench.window.trafficLog(), QStringLiteral("\r\n"));
        QVERIFY(bench.window.portSetUp());
    } else {
        bench.window.IRCLOSECOM_Click();
        dialogs.steps << pressOk;
        bench.find<QPushButton>("IROpencom")->click();
        QVERIFY(!bench.window.portSetUp());
    }
    QCOMPARE(bench.boxes.texts(), QStringList{box});
    QCOMPARE(bench.boxes.shown.first().title, QStringLiteral("Caution"));
    QCOMPARE(status->text(), reason);
    QCOMPARE(bench.window.lineReason(), reason);

    // The device is back: the next setup goes through and the reason goes.
    bench.line.openError = 0;
    bench.boxes.shown.clear();
    dialogs.steps << pressOk;
    bench.find<QPushButton>("IROpencom")->click();
    QVERIFY(bench.window.portSetUp());
    QVERIFY(bench.boxes.shown.isEmpty());
    QCOMPARE(status->text(), QString());
    QCOMPARE(bench.frames().last(), hex("02000230300303")); // the detection ran
}

void TestReaderMain::layoutByModel_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QList<int>>("pictures");
    const char *numbers[] = {"416", "523", "527", "634", "638", "690"};
    const QList<int> pictures[] = {{4}, {1}, {2}, {}, {5}, {3}}; // the KVR-634 has none
    for (int i = 0; i < 6; ++i)
        QTest::newRow(numbers[i]) << i << pictures[i];
}

void TestReaderMain::layoutByModel() {
    QFETCH(int, column);
    QFETCH(QList<int>, pictures);

    ScriptedBench bench;
    bench.hidePictures();
    // Every control starts in the state opposite to the one expected, so a
    // cell the layout forgets to apply shows up.
    for (const ExpectedRow &row : kExpectedLayout)
        bench.control(row.control)->setEnabled(row.cells[column] != 'T');
    bench.control("ExuteCommandBtn")->setEnabled(false);
    bench.control("ClearReaderBuffer")->setEnabled(true);
    bench.control("ReadCardType523")->setVisible(column != 1);
    // As a KVR-523 uploading its tracks left it: only that model's rule
    // touches "Read Track Data".
    bench.control("ReadCardComm")->setEnabled(false);

    bench.detect(QByteArray("KVR") + QTest::currentDataTag());
    QCOMPARE(bench.model(), QStringLiteral("KVR-") + QLatin1String(QTest::currentDataTag()));
    QCOMPARE(bench.pictures(), pictures);
    QCOMPARE(bench.find<QPushButton>("IRPOP")->text(),
             column == 5 ? QStringLiteral("Move Card") : QStringLiteral("Eject"));
    QVERIFY(bench.boxes.shown.isEmpty());

    for (const ExpectedRow &row : kExpectedLayout) {
        const bool enabled = bench.control(row.control)->isEnabled();
        QVERIFY2(enabled == (row.cells[column] == 'T'), row.control);
    }
    QVERIFY(bench.control("ExuteCommandBtn")->isEnabled());
    QVERIFY(!bench.control("ClearReaderBuffer")->isEnabled());
    QCOMPARE(!bench.control("ReadCardType523")->isHidden(), column == 1);
    QCOMPARE(ownEnabled(bench.control("ReadCardComm")), column == 1);
    // The port and the common commands are never the model's to disable.
    for (const char *name :
         {"FrameComm", "IRRESET", "IRStatus", "IRcomb", "IRCARDTYPE", "IROpencom", "IRCLOSECOM"})
        QVERIFY2(bench.control(name)->isEnabled(), name);
}

void TestReaderMain::uploadCheckBoxDecidesMagneticControls() {
    ScriptedBench bench;
    // The box also starts and stops the KVR-523's test, which asks for the
    // reading method: cancelled here, so nothing is sent.
    ScriptedDialogs dialogs;
    auto *upload = bench.find<QCheckBox>("ReadCardType523");
    QWidget *readTrack = bench.control("ReadCardComm");
    QWidget *autoTest = bench.control("McardFrame2");

    upload->setChecked(true);
    bench.detect("KVR523");
    QVERIFY(!readTrack->isEnabled());
    QVERIFY(autoTest->isEnabled());

    // Another reader on the line: the rule no longer applies and the box goes;
    // "Read Track Data" keeps what the rule last left.
    bench.detect("KVR527");
    QVERIFY(upload->isHidden());
    QVERIFY(!ownEnabled(readTrack));
    QVERIFY(!autoTest->isEnabled());
    upload->setChecked(false);
    upload->setChecked(true);
    QVERIFY(!ownEnabled(readTrack));
    QVERIFY(!autoTest->isEnabled());
}

void TestReaderMain::unknownModelNameChangesNothing() {
    ScriptedBench bench;
    bench.find<QLabel>("TypeLabel")->setText(QStringLiteral("KVR-999"));
    bench.control("IRPOP")->setEnabled(true);
    bench.control("ClearReaderBuffer")->setEnabled(true);
    bench.window.ApplyModelLayout();

    QCOMPARE(bench.boxes.shown.size(), 1);
    QCOMPARE(bench.boxes.shown.at(0).text,
             QStringLiteral("本演示程序暂时还没有编写你所选机型的代码"));
    QCOMPARE(bench.boxes.shown.at(0).title, QStringLiteral("自动检测机型"));
    QCOMPARE(bench.boxes.shown.at(0).icon, link::MsgIcon::Information);
    QVERIFY(bench.control("IRPOP")->isEnabled());
    // The common first step has run before the name was looked up.
    QVERIFY(!bench.control("ClearReaderBuffer")->isEnabled());

    // And with no model at all nothing happens.
    bench.find<QLabel>("TypeLabel")->clear();
    bench.control("ClearReaderBuffer")->setEnabled(true);
    bench.window.ApplyModelLayout();
    QVERIFY(bench.control("ClearReaderBuffer")->isEnabled());
    QCOMPARE(bench.boxes.shown.size(), 1);
}

void TestReaderMain::lockForAutoRead() {
    ScriptedBench bench;
    const char *locked[] = {"ExuteCommandBtn", "FrameComm",   "McardFrame1", "RFcardFrame1",
                            "RFcardFrame2",    "OTHERFRAME1", "OTHERFRAME2", "OTHERFRAME3"};
    bench.window.LockForAutoRead(); // no model yet: nothing to lock
    for (const char *name : locked)
        QVERIFY2(bench.control(name)->isEnabled(), name);

    bench.detect("KVR523"); // leaves McardFrame2 disabled with the box clear
    QVERIFY(!bench.control("McardFrame2")->isEnabled());
    bench.window.LockForAutoRead();
    for (const char *name : locked)
        QVERIFY2(!bench.control(name)->isEnabled(), name);
    QVERIFY(bench.control("McardFrame2")->isEnabled());
}

void TestReaderMain::commandLine_data() {
    QTest::addColumn<bool>("portSetUp");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("logEndsWithBreak");

    const QByteArray reset = hex("02000230300303"), none;
    QTest::newRow("blanks trimmed and written back") << true << "   30 30  "
                                                     << "30 30" << reset << "" << true;
    QTest::newRow("separators are not examined") << true << "30,31"
                                                 << "30,31" << hex("02000230310302") << "" << true;
    QTest::newRow("lower-case digits") << true << "3a ff"
                                       << "3a ff" << hex("0200023AFF03C6") << "" << true;
    // Only blanks are trimmed: a tab at either end counts towards the length.
    QTest::newRow("tab before") << true << "\t30 30"
                                << "\t30 30" << none << "Error:Please Check The Data Effective"
                                << false;
    QTest::newRow("tab after") << true << "30 30\t"
                               << "30 30\t" << none << "Error:Please Check The Data Effective"
                               << false;
    QTest::newRow("only blanks") << true << "    "
                                 << "" << none << "Enter the Command and then Press 'Send'"
                                 << false;
    QTest::newRow("not hexadecimal")
        << true << "3G 30"
        << "3G 30" << none << "Error:Please check the data effective" << true;
    QTest::newRow("port not set up") << false << " 30 30"
                                     << " 30 30" << none << "Comm. Port Setup First" << false;
    QByteArray body;
    QStringList pairs;
    for (int i = 0; i < 300; ++i) {
        body.append(char(i % 251));
        pairs << link::byteText(quint8(i % 251));
    }
    const QString longText = pairs.join(QLatin1Char(' '));
    QTest::newRow("300 bytes: LH and LL")
        << true << longText << longText << hex("02012C") + body + hex("03E7") << "" << true;
}

void TestReaderMain::commandLine() {
    QFETCH(bool, portSetUp);
    QFETCH(QString, typed);
    QFETCH(QString, textAfter);
    QFETCH(QByteArray, sent);
    QFETCH(QString, message);
    QFETCH(bool, logEndsWithBreak);

    ScriptedBench bench;
    bench.window.setPortSetUp(portSetUp);
    bench.window.appendTrafficLog(QStringLiteral("earlier\r\n"));
    bench.run(typed);

    QCOMPARE(bench.find<QLineEdit>("CommandStr")->text(), textAfter);
    QCOMPARE(bench.frames(), sent.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{sent});
    QCOMPARE(bench.boxes.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const auto &box : bench.boxes.shown) {
        QCOMPARE(box.title, QStringLiteral("Caution"));
        QCOMPARE(box.icon, link::MsgIcon::Exclamation);
    }
    const QString log = bench.window.trafficLog();
    if (logEndsWithBreak) {
        QVERIFY(log.endsWith(QStringLiteral("\r\n\r\n")));
        auto *view = bench.find<QPlainTextEdit>("SDTDText");
        QVERIFY(view->textCursor().atEnd());
        QCOMPARE(view->toPlainText(), QString(log).remove(QLatin1Char('\r')));
    } else {
        QCOMPARE(log, QStringLiteral("earlier\r\n"));
    }
}

void TestReaderMain::clearBufferData_data() {
    QTest::addColumn<bool>("portSetUp");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("cleared") << true << QByteArray("E9Y") << "Clear Buffer Data Success";
    QTest::newRow("refused") << true << QByteArray("E9N") << "Clear Buffer Data Error";
    QTest::newRow("other byte") << true << QByteArray("E9E") << "";
    QTest::newRow("port not set up") << false << QByteArray("E9Y") << "Comm. Port Setup First";
}

void TestReaderMain::clearBufferData() {
    QFETCH(bool, portSetUp);
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);

    ScriptedBench bench;
    bench.window.setPortSetUp(portSetUp);
    bench.reader.setReply(link::buildReaderFrame(reply));
    // The model layout disables the button; the handler is what is tested here.
    bench.find<QPushButton>("ClearReaderBuffer")->click();

    QCOMPARE(bench.frames(),
             portSetUp ? QList<QByteArray>{hex("0200024539037F")} : QList<QByteArray>());
    QCOMPARE(bench.boxes.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (portSetUp && !message.isEmpty()) {
        QCOMPARE(bench.boxes.shown.at(0).title, QStringLiteral("Clear Buffer Data"));
        QCOMPARE(bench.boxes.shown.at(0).icon, link::MsgIcon::Information);
    }
}

void TestReaderMain::clearDataEmptiesLog() {
    ScriptedBench bench;
    bench.run("30 30");
    QVERIFY(!bench.window.trafficLog().isEmpty());
    bench.find<QPushButton>("ClearSDTDText")->click();
    QCOMPARE(bench.window.trafficLog(), QString());
    QCOMPARE(bench.find<QPlainTextEdit>("SDTDText")->toPlainText(), QString());
    QCOMPARE(bench.frames().size(), 1);
}

void TestReaderMain::closeCommForgetsModelAndDropsLines() {
    ScriptedBench bench;
    bench.hidePictures();
    bench.detect("Ver690");
    QCOMPARE(bench.pictures(), (QList<int>{3, 4}));

    bench.find<QPushButton>("IRCLOSECOM")->click();
    QVERIFY(!bench.window.readerPort().PortOpen());
    QVERIFY(!bench.line.dtr());
    QVERIFY(!bench.line.rts());
    QVERIFY(!bench.window.portSetUp());
    QCOMPARE(bench.model(), QString());
    QCOMPARE(bench.pictures(), QList<int>{0});

    // "Setup Comm" cancelled sends nothing, nor does the command line, and a
    // second close is harmless.
    ScriptedDialogs dialogs;
    bench.find<QPushButton>("IROpencom")->click();
    QCOMPARE(dialogs.classes.size(), 1);
    QCOMPARE(bench.pictures(), QList<int>{0});
    QVERIFY(bench.boxes.shown.isEmpty());
    bench.run("30 30");
    QCOMPARE(bench.boxes.texts(), QStringList{QStringLiteral("Comm. Port Setup First")});
    bench.find<QPushButton>("IRCLOSECOM")->click();
    QCOMPARE(bench.frames().size(), 1);
}

void TestReaderMain::linkLabelAndHelpWindow() {
    ReaderMain window;
    auto *label = child<QLabel>(window, "OpenshuomingFormLabel1");
    auto *frame = child<QGroupBox>(window, "CommandLineFrame");
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    auto colour = [label] { return label->palette().color(QPalette::WindowText); };
    QCOMPARE(colour(), buttonText);

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(label, &enter);
    QCOMPARE(colour(), QColor(255, 0, 0));
    QMouseEvent overFrame(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &overFrame);
    QCOMPARE(colour(), buttonText);

    ScriptedDialogs dialogs;
    QStringList help;
    dialogs.steps << [&help](QDialog &dialog) {
        for (int i = 1; i <= 5; ++i)
            help << child<QLabel>(dialog, qPrintable(QStringLiteral("Label%1").arg(i)))->text();
        child<QPushButton>(dialog, "Command1")->click();
        return dialog.result();
    };
    QCoreApplication::sendEvent(label, &enter);
    QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(colour(), buttonText);
    QCOMPARE(dialogs.classes, QStringList{QStringLiteral("talvex::shell::ShuoMingForm")});
    QCOMPARE(dialogs.titles, QStringList{QStringLiteral("Command-line description")});
    QVERIFY(help.at(0).startsWith(QStringLiteral("The command line, do not enter the STX (02)")));
    // The key check with six key bytes, and its BCC worked out by hand.
    QVERIFY2(help.at(1).contains(QStringLiteral("02 00 09 35 32 05 FF FF FF FF FF FF 03 0A")),
             qPrintable(help.at(1)));
    QVERIFY(help.at(3).endsWith(QStringLiteral("35 32 05 FF FF FF FF FF FF")));
    QCOMPARE(help.at(4), QStringLiteral("Note that to use a space between each byte separated by"));
}

void TestReaderMain::recordFileNeedsPortAndModel() {
    ReaderMain window;
    RecordingMessageBoxes boxes;
    auto *record = child<QCheckBox>(window, "CheckRecordToFile");
    record->click();
    QVERIFY(!record->isChecked());
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Comm. Port Setup First")});
    QCOMPARE(child<QLabel>(window, "SaveToFileNameLabel")->text(), QString());
    QVERIFY(QDir(m_recordDir->path()).entryList(QDir::Files).isEmpty());

    // Recording before any model is known: the header names no model.
    const QString path = link::recordFilePath(QDate(2024, 3, 9));
    QVERIFY(link::startRecordFile(path, QString()));
    link::AppendRecordFile(QString(), QStringLiteral("nowhere")); // recording off: ignored
    QCOMPARE(readSystemText(path),
             QStringLiteral("这个文件是要求保留历史记录时产生的文件\r\n\r\n\r\n"));
}

void TestReaderMain::recordFileBlocks_data() {
    QTest::addColumn<bool>("keepLog");
    QTest::addColumn<int>("resetBlocks");
    QTest::newRow("Record Data clear: one exchange a block") << false << 1;
    QTest::newRow("Record Data on: the whole log again") << true << 2;
}

void TestReaderMain::recordFileBlocks() {
    QFETCH(bool, keepLog);
    QFETCH(int, resetBlocks);

    ScriptedBench bench;
    bench.detect("KVR638");
    bench.window.appendTrafficLog(QStringLiteral("before recording\r\n"));
    auto *record = bench.find<QCheckBox>("CheckRecordToFile");
    record->click();
    QVERIFY(record->isChecked());
    QCOMPARE(bench.window.trafficLog(), QString());
    const QString path = link::recordFilePath();
    QCOMPARE(QDir::fromNativeSeparators(bench.find<QLabel>("SaveToFileNameLabel")->text()), path);

    bench.find<QCheckBox>("CheckRecord")->setChecked(keepLog);
    bench.run("30 30");
    const QString afterFirst = bench.window.trafficLog();
    bench.run("31 30");
    const QString afterSecond = bench.window.trafficLog();

    const QString header =
        QStringLiteral("这个文件是KVR-638要求保留历史记录时产生的文件\r\n\r\n\r\n");
    // Each block is the log as the exchange left it, plus a line end; the
    // command line's own line end after the exchange is in the next block.
    const QString content = readSystemText(path);
    QCOMPARE(content, header + afterFirst + afterSecond);
    QCOMPARE(int(content.count(QStringLiteral("SD: 02 00 02 30 30 03 03"))), resetBlocks);
    QCOMPARE(int(content.count(QStringLiteral("SD: 02 00 02 31 30 03 02"))), 1);

    // Switched off: the label empties and nothing more is written.
    record->click();
    QCOMPARE(bench.find<QLabel>("SaveToFileNameLabel")->text(), QString());
    bench.run("30 30");
    QCOMPARE(readSystemText(path), content);

    // Switched on again the same day: the file starts over.
    record->click();
    QCOMPARE(readSystemText(path), header);
}

void TestReaderMain::openCommandLog() {
    ScriptedBench bench;
    FakeDesktop files;
    auto *open = bench.find<QPushButton>("OpenRecFileBtn");

    files.pick = m_recordDir->filePath(QStringLiteral("KVR_Record-old.txt"));
    open->click();
    QCOMPARE(files.opens.size(), 1);
    const ui::OpenFileRequest request = files.opens.at(0);
    QCOMPARE(request.parent, static_cast<QWidget *>(&bench.window));
    QCOMPARE(request.title, QStringLiteral("Open file"));
    QCOMPARE(request.directory, m_recordDir->path());
    QCOMPARE(request.fileName, QStringLiteral("KVR_Record*.TXT"));
    QCOMPARE(request.filter, QStringLiteral("All files (*.TXT *.txt)"));
    QVERIFY(request.existingOnly);
    QVERIFY(request.hideReadOnly);
    QCOMPARE(files.opened, QStringList{files.pick});

    files.pick.clear(); // cancelled
    open->click();
    QCOMPARE(files.opens.size(), 2);
    QCOMPARE(files.opened.size(), 1);

    bench.find<QCheckBox>("CheckRecordToFile")->click();
    open->click();
    QCOMPARE(files.opens.size(), 2);
    QCOMPARE(bench.boxes.texts(),
             QStringList{QStringLiteral("Please stop the record and then execute this command")});
    QCOMPARE(bench.boxes.shown.at(0).title, QStringLiteral("Caution"));
}

void TestReaderMain::detectsEverySimulatedModel_data() {
    QTest::addColumn<int>("model");
    for (const sim::ReaderModel model : sim::kAllReaderModels)
        QTest::newRow(qPrintable(sim::readerModelName(model))) << int(model);
}

void TestReaderMain::detectsEverySimulatedModel() {
    QFETCH(int, model);
    const auto readerModel = static_cast<sim::ReaderModel>(model);
    sim::ReaderSim reader(readerModel);
    QString error;
    QVERIFY2(reader.start(&error), qPrintable(error));
    link::portmap::mapPath(1, reader.slavePath());

    RecordingMessageBoxes boxes;
    ScriptedDialogs readingMethod;
    {
        ReaderMain window;
        window.readerPort().setCommPort(1);
        window.readerPort().setSettings(QStringLiteral("9600n81"));
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
        link::blockOn(window.DetectReaderModel());
        QCOMPARE(window.currentModel(), sim::readerModelName(readerModel));
        QCOMPARE(child<QPushButton>(window, "IRPOP")->text(),
                 readerModel == sim::ReaderModel::Kvr690 ? QStringLiteral("Move Card")
                                                         : QStringLiteral("Eject"));
        QVERIFY(window.trafficLog().startsWith(QStringLiteral("SD: 02 00 02 30 30 03 03 \r\n")));
    }
    QCOMPARE(boxes.texts(), QStringList());
    link::portmap::unmap(1);
}

// A reset reply or a typed text is shown as sent, never as markup.
void TestReaderMain::boxesShowDeviceTextAsItIs() {
    link::MessageRequest reset;
    reset.title = QStringLiteral("Reader Reset");
    reset.text = QStringLiteral("<b>V3</b> &amp; 1\r\nok");
    const auto box = ui::makeMessageBox(reset, nullptr);
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->windowTitle(), QStringLiteral("Reader Reset"));
    QCOMPARE(box->text(), QStringLiteral("<b>V3</b> &amp; 1\nok"));
}

// A reader that stays silent: the command line waits out its 3 s for ACK.
// Meanwhile the window answers, a second command on the line is refused, and
// each way of closing ends the wait with no box afterwards.
void TestReaderMain::waitsLeaveTheWindowFree_data() {
    QTest::addColumn<QString>("close");
    QTest::newRow("Exit") << QStringLiteral("EXITGRM");
    QTest::newRow("Comm Close") << QStringLiteral("IRCLOSECOM");
    QTest::newRow("window destroyed") << QString();
}

void TestReaderMain::waitsLeaveTheWindowFree() {
    QFETCH(QString, close);
    sim::ReaderSim reader(sim::ReaderModel::Kvr690);
    QMutex mutex;
    QByteArray sent;
    reader.setTrafficListener([&](sim::Direction d, const QByteArray &bytes) {
        if (d == sim::Direction::FromProgram) {
            QMutexLocker lock(&mutex);
            sent += bytes;
        }
    });
    QString error;
    QVERIFY2(reader.start(&error), qPrintable(error));
    link::portmap::mapPath(1, reader.slavePath());
    reader.injectFault(sim::Fault::of(sim::Fault::Kind::Silence));

    RecordingMessageBoxes boxes;
    auto window = std::make_unique<ReaderMain>();
    window->readerPort().setCommPort(1);
    window->readerPort().setSettings(QStringLiteral("9600n81"));
    window->readerPort().setPortOpen(true);
    window->setPortSetUp(true);
    child<QLineEdit>(*window, "CommandStr")->setText(QStringLiteral("30 30"));
    child<QPushButton>(*window, "ExuteCommandBtn")->click();
    QCOMPARE(link::Operations::runningAnywhere(), 1);

    // A 10 ms timer fires on time while the exchange waits.
    QElapsedTimer since;
    since.start();
    qint64 firedAt = -1;
    QTimer::singleShot(10, [&] { firedAt = since.elapsed(); });
    QTRY_VERIFY_WITH_TIMEOUT(firedAt >= 0, 1000);
    QVERIFY2(firedAt < 500, qPrintable(QString::number(firedAt)));
    QCOMPARE(link::Operations::runningAnywhere(), 1);

    // Run again, and a reader control button: neither reaches the line.
    const QString busy =
        QStringLiteral("COM1 is busy with the command before; this one was not sent.");
    for (const char *button : {"ExuteCommandBtn", "IRStatus"}) {
        child<QLabel>(*window, "StatusLine")->clear();
        child<QPushButton>(*window, button)->click();
        QCOMPARE(window->lineReason(), busy);
    }
    QTest::qWait(100);
    {
        QMutexLocker lock(&mutex);
        QCOMPARE(sent, hex("02000230300303"));
    }
    QVERIFY(boxes.shown.isEmpty());

    if (close.isEmpty()) {
        window.reset();
    } else {
        child<QPushButton>(*window, qPrintable(close))->click();
        QVERIFY(!window->readerPort().PortOpen());
    }
    QCOMPARE(link::Operations::runningAnywhere(), 0);
    // Past the 3 s limit the abandoned exchange would have shown its box.
    QTest::qWait(3200);
    QCOMPARE(boxes.texts(), QStringList());
    link::portmap::unmap(1);
}

QTEST_MAIN(TestReaderMain)
#include "test_readermain.moc"
