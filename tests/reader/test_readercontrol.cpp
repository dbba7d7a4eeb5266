// The reader control buttons against the simulated readers, through a real
// pseudo-terminal: the frames each button puts on the line, the boxes it
// shows, and the dialog flows around them.

#include "link/blockon.h"
#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "link/portmap.h"
#include "reader/commonframe.h"
#include "reader/extendtab.h"
#include "reader/kvr523setreadtype.h"
#include "shell/readermain.h"
#include "sim/readersim.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

using namespace talvex;
using sim::CardPlace;
using sim::ReaderModel;
using sim::SimCard;
using testing::child;
using testing::RecordingMessageBoxes;

Q_DECLARE_METATYPE(talvex::sim::ReaderModel)
Q_DECLARE_METATYPE(talvex::sim::SimCard)

namespace {

constexpr int kPort = 7;

QString box(const link::MessageRequest &r) {
    return r.title + QLatin1Char('|') + r.text;
}

// Clicks a dialog's button and lets the command it started, if any, finish;
// the command whose dialog it is goes on waiting for it.
void clickInDialog(QAbstractButton *button) {
    const int before = link::Operations::runningAnywhere();
    button->click();
    QDeadlineTimer deadline(30000);
    while (link::Operations::runningAnywhere() > before && !deadline.hasExpired())
        QTest::qWait(5);
}

// A dialog step: click the named controls in order and return the result.
ui::DialogScript clicks(QStringList names) {
    return [names](QDialog &dialog) {
        for (const QString &name : names)
            clickInDialog(child<QAbstractButton>(dialog, qPrintable(name)));
        return dialog.result();
    };
}
ui::DialogScript choose(int option) {
    return clicks({QStringLiteral("Option%1").arg(option), QStringLiteral("Command1")});
}
ui::DialogScript cancel() {
    return clicks({QStringLiteral("Command2")});
}

// A reader window with a simulated reader of the given model behind COM7,
// set up and detected.
struct Bench {
    explicit Bench(ReaderModel model, const SimCard &card = {}) : reader(model) {
        reader.setMoveTimeMs(0);
        reader.setCard(card);
        reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            if (d == sim::Direction::FromProgram) {
                QMutexLocker lock(&mutex);
                sent += bytes;
            }
        });
        QString error;
        started = reader.start(&error);
        if (!started)
            qWarning("no simulated reader: %s", qPrintable(error));
        reader.mapToPort(kPort);
        window.readerPort().setCommPort(kPort);
        window.readerPort().setSettings(QStringLiteral("9600n81"));
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
        link::blockOn(window.DetectReaderModel());
        forget();
    }
    ~Bench() { link::portmap::unmap(kPort); }

    void forget() {
        QMutexLocker lock(&mutex);
        sent.clear();
        boxes.shown.clear();
        dialogs.classes.clear();
    }
    // The bodies of the command frames the program sent.
    QList<QByteArray> bodies() {
        QMutexLocker lock(&mutex);
        QList<QByteArray> out;
        for (qsizetype i = 0; i + 2 < sent.size();) {
            if (sent.at(i) != '\x02') {
                ++i;
                continue;
            }
            const int n = quint8(sent.at(i + 1)) * 256 + quint8(sent.at(i + 2));
            out.append(sent.mid(i + 3, n));
            i += 5 + n;
        }
        return out;
    }
    QStringList shown() const {
        QStringList out;
        for (const auto &r : boxes.shown)
            out << box(r);
        return out;
    }
    void click(const char *button) {
        child<QPushButton>(window, button)->click();
        QVERIFY(testing::settle());
    }
    reader::CommonFrame *common() const { return window.commonFrame(); }
    QString log() const { return window.trafficLog(); }

    RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    sim::ReaderSim reader;
    bool started = false;
    QMutex mutex;
    QByteArray sent;
    shell::ReaderMain window;
};

} // namespace

class TestReaderControl : public QObject {
    Q_OBJECT

private slots:
    void buttons_data();
    void buttons();
    void entryDialogsOpenOnTheReportedState();
    void stopPositionPreselectsOnlyAfterY();
    void ejectDialogCancelledAfterAnEarlierEject();
    void cleanReaderNeedsAnEmptyReader();
    void cardTypeOn690MovesTheCardFirst();
    void detectionOf523SetsTheReadingMethod();
    void withoutSetupNothingIsSent();
    void withoutModel();
    void movesTakeTheirTimeOnTheLine();
    void sensorWindowsShowTheCard();
    void glitterTimesAreChecked();
    void serialNumberIsShown();
    void choicesWithoutTheMouseAndUnofferedSpeed();
    void newSpeedNeedsANewSetup();
};

void TestReaderControl::buttons_data() {
    QTest::addColumn<ReaderModel>("model");
    QTest::addColumn<SimCard>("card");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<ui::DialogScript>>("steps");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<QStringList>("boxes");

    using M = ReaderModel;
    const SimCard none;
    const SimCard inside{sim::CardKind::Plain, CardPlace::Inside};
    using S = QList<ui::DialogScript>;
    using B = QList<QByteArray>;
    using T = QStringList;
    auto row = [](const char *name, M m, SimCard c, const char *button, S steps, B bodies,
                  T boxes) {
        QTest::newRow(name) << m << c << QString::fromLatin1(button) << steps << bodies << boxes;
    };

    // Entry control.
    row("634 prohibit", M::Kvr634, none, "IRProhibit", S{choose(1)}, B{"/1"},
        T{"Enter Control|Enter Control Success"});
    row("634 permit", M::Kvr634, none, "IRProhibit", S{choose(2)}, B{"/0"},
        T{"Enter Control|Enter Control Success"});
    row("638 permit all", M::Kvr638, none, "IRProhibit", S{choose(3)}, B{"10", "/31"},
        T{"Enter Control|Enter Control Success"});
    row("638 cancel", M::Kvr638, none, "IRProhibit", S{cancel()}, B{"10"}, T{});
    row("690 by signal, rear prohibited", M::Kvr690, none, "IRProhibit",
        S{clicks({"Option4", "Option6", "Command1"})}, B{"10", "/41"},
        T{"Enter Control|Enter Control Success"});
    row("527 none", M::Kvr527, none, "IRProhibit", S{}, B{}, T{});

    // Eject.
    row("527 eject", M::Kvr527, inside, "IRPOP", S{}, B{"20"}, T{"Eject Card|Eject Card Success"});
    row("527 empty", M::Kvr527, none, "IRPOP", S{}, B{"20"},
        T{"Eject Card|No Card In The Reader or Card is not inserted in place"});
    row("634 empty", M::Kvr634, none, "IRPOP", S{}, B{"20"}, T{"Eject Card|No Card In The Reader"});
    row("638 hold", M::Kvr638, inside, "IRPOP", S{choose(2)}, B{"21"},
        T{"Eject Card|Eject Card Success"});
    row("638 front", M::Kvr638, inside, "IRPOP", S{choose(1)}, B{"20"},
        T{"Eject Card|Eject Card Success"});
    row("638 ok with nothing", M::Kvr638, inside, "IRPOP", S{clicks({"Command1"})}, B{"21"},
        T{"Eject Card|Eject Card Success"});
    row("416", M::Kvr416, inside, "IRPOP", S{}, B{},
        T{"Caution|No ejection command for this sample"});
    row("523", M::Kvr523, inside, "IRPOP", S{}, B{},
        T{"Caution|No ejection command for this sample"});

    // KVR-690 moves: the dialog stays open for the next move.
    row("690 rf then rear", M::Kvr690, inside, "IRPOP",
        S{clicks({"Option3", "Command1", "Option6", "Command1", "Command3"})}, B{"2.", "23"}, T{});
    row("690 ic, empty", M::Kvr690, none, "IRPOP", S{clicks({"Option4", "Command1", "Command2"})},
        B{"2/"}, T{"Move card|No Card In The Reader"});
    row("690 abnormal", M::Kvr690, inside, "IRPOP", S{clicks({"Option7", "Command1", "Command2"})},
        B{"25"}, T{});
    row("690 front hold", M::Kvr690, inside, "IRPOP", S{clicks({"Option2", "Command1"})}, B{"21"},
        T{});
    row("690 rear hold", M::Kvr690, inside, "IRPOP", S{clicks({"Option5", "Command1"})}, B{"22"},
        T{});
    row("690 long card to ic", M::Kvr690, SimCard{sim::CardKind::Plain, CardPlace::LongCard},
        "IRPOP", S{clicks({"Option4", "Command1"})}, B{"2/"},
        T{"Move card|The card is not on the IC card operation position"});
    row("690 cancel", M::Kvr690, inside, "IRPOP", S{cancel()}, B{}, T{});

    // Stop position.
    row("690 stop rear", M::Kvr690, none, "IRWeizhi", S{choose(6)}, B{".5"},
        T{"Set the card stop position|Success"});
    row("690 stop cancel", M::Kvr690, none, "IRWeizhi", S{cancel()}, B{}, T{});

    // Reset: a dialog for the motorised models, the version text in the box.
    row("416 reset", M::Kvr416, inside, "IRRESET", S{}, B{"00"}, T{"Reader Reset|KVR416 Ver2.0"});
    row("527 reset to front", M::Kvr527, inside, "IRRESET", S{choose(2)}, B{"01"},
        T{"Reader Reset|KVR527 V2.1"});
    row("634 reset", M::Kvr634, inside, "IRRESET", S{choose(1)}, B{"00"},
        T{"Reader Reset|KVR634 V2.4"});
    row("638 reset cancel", M::Kvr638, inside, "IRRESET", S{cancel()}, B{}, T{});
    row("690 reset to rear", M::Kvr690, inside, "IRRESET", S{choose(3)}, B{"02"},
        T{"Reader Reset|KVR690 V3.1"});

    // Status: one model of each layout (the decoding has its own tables).
    row("416 status", M::Kvr416, inside, "IRStatus", S{}, B{"10"},
        T{"Reader Status|One Card In The Reader"});
    row("638 long card", M::Kvr638, SimCard{sim::CardKind::Plain, CardPlace::LongCard}, "IRStatus",
        S{}, B{"10"},
        T{"Status of  Reader|There is long card in the reader\r\nPermit all cards in from front"});
    row("690 rear hold", M::Kvr690, SimCard{sim::CardKind::Plain, CardPlace::RearHold}, "IRStatus",
        S{}, B{"10"},
        T{"Status of  Reader|There is card at the rear card-hold position\r\nPermit all cards "
          "in from front\r\nPermit all cards in from rear"});

    // Sensors: a window only for the 638 and 690.
    row("634 sensors", M::Kvr634, inside, "SensorState", S{}, B{"1."}, T{});

    // Card type on a model that needs no move.
    row("638 card type", M::Kvr638, SimCard{sim::CardKind::Plain, CardPlace::Inside, "43"},
        "IRCARDTYPE", S{}, B{"11"}, T{"AutoTestCardType|AT88S1608"});

    // Reader speed.
    row("634 19200", M::Kvr634, none, "IRcomb", S{choose(5)}, B{"44"},
        T{"Set Baud Rate|Reader Baud Rate Setup Success"});
    row("638 38400", M::Kvr638, none, "IRcomb", S{choose(6)}, B{"45"},
        T{"Set Baud Rate|Reader Baud Rate Setup Success"});
    row("690 9600", M::Kvr690, none, "IRcomb", S{choose(4)}, B{"43"},
        T{"Set Baud Rate|Reader Baud Rate Setup Success"});
    row("416 speed cancel", M::Kvr416, none, "IRcomb", S{cancel()}, B{}, T{});

    // Lights: the shutter light's "0" is on, the three-colour light's "1".
    const char *onOff = "Indicator light on/off|Control Shutter Indicator Light Success";
    const char *glitter =
        "Indicator Light Glitter Operation|Control Glitter Indicator Light Success";
    row("shutter on", M::Kvr690, none, "IRLEDCMD1", S{choose(1)}, B{"F0"}, T{onOff});
    row("shutter off", M::Kvr638, none, "IRLEDCMD1", S{choose(2)}, B{"F1"}, T{onOff});
    row("shutter on, 634 refuses", M::Kvr634, none, "IRLEDCMD1", S{choose(1)}, B{"F0"},
        T{"Error|Undefined Command"});
    row("blue on", M::Kvr523, none, "IRLEDCMD3", S{clicks({"Option2", "Option5", "Command1"})},
        B{QByteArray("\x80"
                     "11")},
        T{onOff});
    row("orange off", M::Kvr527, none, "IRLEDCMD3", S{clicks({"Option3", "Option4", "Command1"})},
        B{QByteArray("\x80"
                     "20")},
        T{onOff});
    row("red, no action", M::Kvr527, none, "IRLEDCMD3", S{choose(1)}, B{}, T{});
    row("shutter glitter", M::Kvr690, none, "IRLEDCMD2", S{clicks({"Command1"})},
        B{QByteArray("I\x01\x01")}, T{glitter});
    row("red glitter", M::Kvr634, none, "IRLEDCMD4", S{choose(1)},
        B{QByteArray("\x81"
                     "0\x01\x01")},
        T{glitter});
    row("glitter without colour", M::Kvr634, none, "IRLEDCMD4", S{clicks({"Command1"})}, B{}, T{});

    // Serial number errors.
    row("416 serial", M::Kvr416, none, "Type523Readsn", S{}, B{"0:"}, T{"Error|Undefined Command"});
}

void TestReaderControl::buttons() {
    QFETCH(ReaderModel, model);
    QFETCH(SimCard, card);
    QFETCH(QString, button);
    QFETCH(QList<ui::DialogScript>, steps);
    QFETCH(QList<QByteArray>, bodies);
    QFETCH(QStringList, boxes);

    Bench bench(model, card);
    QVERIFY(bench.started);
    bench.dialogs.steps = steps;
    // The handler's own model rules, also where the layout disables the button.
    auto *pushButton = child<QPushButton>(bench.window, qPrintable(button));
    pushButton->setEnabled(true);
    pushButton->parentWidget()->setEnabled(true);
    bench.click(qPrintable(button));
    QCOMPARE(bench.bodies(), bodies);
    QCOMPARE(bench.shown(), boxes);
    for (const auto &r : bench.boxes.shown)
        QVERIFY(r.icon == (r.title == QLatin1String("Caution") ? link::MsgIcon::Exclamation
                                                               : link::MsgIcon::Information));
}

void TestReaderControl::entryDialogsOpenOnTheReportedState() {
    struct Case {
        ReaderModel model;
        char front, rear; // what the reader reports
        QList<int> selected;
        QList<QByteArray> bodies; // after "OK" without a change
    };
    const Case cases[] = {
        {ReaderModel::Kvr638, 'N', 'J', {1}, {"10", "/11"}},
        {ReaderModel::Kvr638, 'J', 'J', {3}, {"10", "/31"}},
        // By magnetic signal: nothing selected, and "OK" sends nothing.
        {ReaderModel::Kvr638, 'K', 'J', {}, {"10"}},
        {ReaderModel::Kvr690, 'I', 'N', {2, 6}, {"10", "/21"}},
        {ReaderModel::Kvr690, 'K', 'J', {4, 5}, {"10", "/40"}},
    };
    for (const Case &c : cases) {
        Bench bench(c.model);
        sim::ReaderControlState state = bench.reader.control();
        state.frontEntry = c.front;
        state.rearEntry = c.rear;
        bench.reader.setControl(state);
        QList<int> selected;
        bool option2Enabled = false;
        bench.dialogs.steps << [&](QDialog &d) {
            for (int n = 1; n <= 6; ++n) {
                auto *o = d.findChild<QRadioButton *>(QStringLiteral("Option%1").arg(n));
                if (o && o->isChecked())
                    selected << n;
            }
            option2Enabled = child<QRadioButton>(d, "Option2")->isEnabled();
            return clicks({"Command1"})(d);
        };
        bench.click("IRProhibit");
        QCOMPARE(selected, c.selected);
        QCOMPARE(option2Enabled, c.model == ReaderModel::Kvr690);
        QCOMPARE(bench.bodies(), c.bodies);
        QVERIFY(!child<QCheckBox>(bench.window, "CheckRecord")->isChecked());
        // Both exchanges stay in the log.
        if (c.bodies.size() == 2)
            QCOMPARE(bench.log().count(QLatin1String("SD: 05")), 2);
    }
}

void TestReaderControl::stopPositionPreselectsOnlyAfterY() {
    Bench bench(ReaderModel::Kvr690);
    QCOMPARE(bench.common()->chosenStopPosition(), 3);
    QList<int> preselected;
    auto look = [&](int thenChoose, bool fail) -> ui::DialogScript {
        return [&, thenChoose, fail](QDialog &d) {
            int n = 0;
            for (int i = 1; i <= 6; ++i) {
                if (child<QRadioButton>(d, qPrintable(QStringLiteral("Option%1").arg(i)))
                        ->isChecked())
                    n = i;
            }
            preselected << n;
            if (fail)
                bench.reader.injectFault(sim::Fault::negative(0x02));
            return choose(thenChoose)(d);
        };
    };
    bench.dialogs.steps << look(4, false) << look(2, true) << look(1, false);
    bench.click("IRWeizhi");
    bench.click("IRWeizhi");
    bench.click("IRWeizhi");
    // Nothing at first, then the IC position after its "Y", and still the IC
    // position after the failed change to the front hold.
    QCOMPARE(preselected, (QList<int>{0, 4, 4}));
    QCOMPARE(bench.bodies(), (QList<QByteArray>{".3", ".1", ".0"}));
    QCOMPARE(bench.common()->currentStopPosition(), 1);
    QCOMPARE(bench.reader.control().stopPosition, '0');
}

void TestReaderControl::ejectDialogCancelledAfterAnEarlierEject() {
    Bench bench(ReaderModel::Kvr638, SimCard{sim::CardKind::Plain, CardPlace::Inside});
    bench.dialogs.steps << choose(1) << cancel();
    bench.click("IRPOP");
    bench.click("IRPOP");
    QCOMPARE(bench.bodies(), QList<QByteArray>{"20"});
    QCOMPARE(bench.reader.card().place, CardPlace::Front);
    QCOMPARE(bench.dialogs.titles, (QStringList{"Eject Card", "Eject Card"}));
}

void TestReaderControl::cleanReaderNeedsAnEmptyReader() {
    Bench bench(ReaderModel::Kvr690, SimCard{sim::CardKind::Plain, CardPlace::Inside});
    bench.dialogs.steps << clicks({"Option8", "Command1", "Command2"});
    bench.click("IRPOP");
    QCOMPARE(bench.bodies(), QList<QByteArray>{"10"});
    QCOMPARE(bench.shown(),
             QStringList{"Reader Status|Please first remove the cards, then use 'Clean Reader' "
                         "command"});

    bench.reader.setCard(SimCard{});
    bench.forget();
    bench.dialogs.steps << clicks({"Option8", "Command1", "Command2"});
    bench.click("IRPOP");
    QCOMPARE(bench.bodies(), (QList<QByteArray>{"10", "27"}));
    QCOMPARE(bench.shown(), QStringList{"Clean Reader|Set 'Clean Reader' Success\r\nPlease insert "
                                        "the Cleaning card"});

    // A failed query counts as a card.
    bench.forget();
    bench.reader.injectFault(sim::Fault::of(sim::Fault::Kind::WrongBcc));
    bench.dialogs.steps << clicks({"Option8", "Command1", "Command2"});
    bench.click("IRPOP");
    QCOMPARE(bench.bodies(), QList<QByteArray>{"10"});
    QCOMPARE(bench.shown().last(),
             QStringLiteral("Reader Status|Please first remove the cards, then use 'Clean Reader' "
                            "command"));
}

void TestReaderControl::cardTypeOn690MovesTheCardFirst() {
    Bench bench(ReaderModel::Kvr690, SimCard{sim::CardKind::Plain, CardPlace::Inside, "01"});
    bench.click("IRCARDTYPE");
    QCOMPARE(bench.bodies(), (QList<QByteArray>{"2/", "11"}));
    QCOMPARE(bench.shown(), QStringList{"AutoTestCardType|RF S70"});
    const QString log = bench.log();
    QVERIFY2(log.contains(QLatin1String("SD: 02 00 02 32 2F 03 1E")) &&
                 log.contains(QLatin1String("SD: 02 00 02 31 31 03 03")),
             qPrintable(log));
    QVERIFY(!child<QCheckBox>(bench.window, "CheckRecord")->isChecked());
    QCOMPARE(child<QTabWidget>(bench.window, "SSTab1")->currentIndex(), 1);
    QVERIFY(child<QRadioButton>(bench.window, "RFCARDTYPEOption_1")->isChecked());

    // No card: the move's message and no detection.
    bench.reader.setCard(SimCard{});
    bench.forget();
    bench.click("IRCARDTYPE");
    QCOMPARE(bench.bodies(), QList<QByteArray>{"2/"});
    QCOMPARE(bench.shown(), QStringList{"Move Card|No Card In The Reader"});
}

void TestReaderControl::detectionOf523SetsTheReadingMethod() {
    Bench bench(ReaderModel::Kvr416);
    bench.reader.setModel(ReaderModel::Kvr523);
    child<QRadioButton>(bench.window, "MreadOption2")->setChecked(true);
    child<QCheckBox>(bench.window, "Track1Check")->setChecked(true);
    child<QCheckBox>(bench.window, "Track2Check")->setChecked(false);
    child<QCheckBox>(bench.window, "Track3Check")->setChecked(true);
    bool noticeAtOpen = false;
    bool noticeAfterInserting = true;
    bench.dialogs.steps << [&](QDialog &d) {
        noticeAtOpen = !child<QLabel>(d, "NoticeText")->isHidden();
        child<QAbstractButton>(d, "Option1")->click();
        noticeAfterInserting = !child<QLabel>(d, "NoticeText")->isHidden();
        return clicks({"Option2", "Command1"})(d);
    };
    link::blockOn(bench.window.DetectReaderModel());
    QCOMPARE(bench.dialogs.titles, QStringList{"Set the reading method"});
    QVERIFY(noticeAtOpen);
    QVERIFY(!noticeAfterInserting);
    // BIN "1", uploading off "1", tracks 1 and 3 "6", while pulling "1".
    QCOMPARE(bench.bodies(), (QList<QByteArray>{"00", "F01161"}));
    QVERIFY(bench.shown().isEmpty());
    QCOMPARE(bench.reader.control().readWhilePulling, '1');
    QVERIFY(child<QPushButton>(bench.window, "ReadCardComm")->isEnabled());

    // Cancelled: the reset only.
    bench.forget();
    link::blockOn(bench.window.DetectReaderModel());
    QCOMPARE(bench.bodies(), QList<QByteArray>{"00"});
    QCOMPARE(bench.window.currentModel(), QStringLiteral("KVR-523"));
}

void TestReaderControl::withoutSetupNothingIsSent() {
    Bench bench(ReaderModel::Kvr690);
    bench.window.setPortSetUp(false);
    const char *buttons[] = {"IRRESET", "IRStatus", "SensorState", "IRProhibit",
                             "IRPOP",   "IRWeizhi", "IRCARDTYPE",  "IRcomb"};
    for (const char *button : buttons)
        bench.click(button);
    QVERIFY(bench.bodies().isEmpty());
    QVERIFY(bench.dialogs.classes.isEmpty());
    QCOMPARE(bench.shown(), QStringList(8, QStringLiteral("Caution|Comm. Port Setup First")));
}

void TestReaderControl::sensorWindowsShowTheCard() {
    struct Case {
        ReaderModel model;
        CardPlace place;
        QStringList values;
    };
    const Case cases[] = {
        {ReaderModel::Kvr638, CardPlace::Front, {"On", "Off", "Off", "Off"}},
        {ReaderModel::Kvr690,
         CardPlace::Front,
         {"On", "Off", "Off", "Off", "Off", "Off", "Mechanical Shutter is Open",
          "One card is in the Shutter"}},
    };
    for (const Case &c : cases) {
        Bench bench(c.model, SimCard{sim::CardKind::Plain, c.place});
        QStringList captions, values;
        QString title;
        bench.dialogs.steps << [&](QDialog &d) {
            title = d.windowTitle();
            for (int i = 0;; ++i) {
                auto *caption = d.findChild<QLabel *>(QStringLiteral("CaptionLabel_%1").arg(i));
                if (!caption)
                    break;
                captions << caption->text();
                values
                    << child<QLabel>(d, qPrintable(QStringLiteral("ValueLabel_%1").arg(i)))->text();
            }
            return clicks({"Command1"})(d);
        };
        bench.click("SensorState");
        QCOMPARE(title, QStringLiteral("Auto test the status of the sensor"));
        QCOMPARE(values, c.values);
        QCOMPARE(captions.first(), QStringLiteral("Sensor 0 (PSS0)"));
        QCOMPARE(captions.at(3), QStringLiteral("Sensor 3 (PSS3)"));
        if (c.model == ReaderModel::Kvr690)
            QCOMPARE(captions.mid(5), (QStringList{"Sensor 5 (PSS5)", "Mechanical Shutter",
                                                   "Sensor in front of Reader"}));
        QCOMPARE(bench.common()->sensorSnapshot690().size(), 8);
    }
}

void TestReaderControl::glitterTimesAreChecked() {
    Bench bench(ReaderModel::Kvr690);
    QString p1Text, p2Text;
    bench.dialogs.steps << [&](QDialog &d) {
        auto *p1 = child<QLineEdit>(d, "p1");
        auto *p2 = child<QLineEdit>(d, "p2");
        // Digits only; backspace is dropped as well.
        p1->clear();
        QTest::keyClicks(p1, "2a5-");
        QTest::keyClick(p1, Qt::Key_Backspace);
        p1Text = p1->text();
        p1->setText(QStringLiteral("255"));
        p2->setText(QStringLiteral("7"));
        child<QPushButton>(d, "Command1")->click();
        p2Text = p2->text();
        return d.result();
    };
    bench.click("IRLEDCMD2");
    QCOMPARE(p1Text, QStringLiteral("25"));
    QCOMPARE(bench.shown(), QStringList{"Indicator Light Glitter Operation|Control Glitter "
                                        "Indicator Light Success"});
    QCOMPARE(p2Text, QStringLiteral("007"));
    QCOMPARE(bench.bodies(), QList<QByteArray>{QByteArray("I\xFF\x07")});

    // Pasted numbers count by their whole part: "12.7" is 12, 0Ch.
    struct Paste {
        const char *on;
        const char *off;
        QByteArray body;
    };
    const Paste pastes[] = {{"12.7", "3", QByteArray("I\x0C\x03")},
                            {"255.9", "0.5", QByteArray("I\xFF\x00", 3)}};
    for (const Paste &p : pastes) {
        bench.forget();
        bench.dialogs.steps << [&p](QDialog &d) {
            child<QLineEdit>(d, "p1")->setText(QString::fromLatin1(p.on));
            child<QLineEdit>(d, "p2")->setText(QString::fromLatin1(p.off));
            return clicks({"Command1"})(d);
        };
        bench.click("IRLEDCMD2");
        QCOMPARE(bench.bodies(), QList<QByteArray>{p.body});
    }
}

void TestReaderControl::serialNumberIsShown() {
    struct Case {
        QByteArray serial;
        QString shown;
    };
    const Case cases[] = {{"  KVR-SN 0042 ", "KVR-SN 0042"}, {"", ""}};
    for (const Case &c : cases) {
        Bench bench(ReaderModel::Kvr523);
        bench.reader.setSerialNumber(c.serial);
        QString title, text;
        bench.dialogs.steps << [&](QDialog &d) {
            title = d.windowTitle();
            text = child<QLineEdit>(d, "Text1")->text();
            return clicks({"Command1"})(d);
        };
        bench.click("Type523Readsn");
        QCOMPARE(bench.bodies(), QList<QByteArray>{"0:"});
        QCOMPARE(title, QStringLiteral("Write SN of Card Reader"));
        QCOMPARE(text, c.shown);
        QCOMPARE(bench.window.extendTab()->serialNumber(), c.shown);
    }
    Bench bench(ReaderModel::Kvr690);
    bench.reader.injectFault(sim::Fault::negative(0x02));
    bench.click("Type523Readsn");
    QCOMPARE(bench.shown(), QStringList{"Error|Command Can Not Be Executed"});
    QVERIFY(bench.dialogs.classes.isEmpty());
}

void TestReaderControl::choicesWithoutTheMouseAndUnofferedSpeed() {
    // The reading method's notice follows the selection made by keyboard too.
    {
        reader::KVR523SetReadType dialog;
        auto *inserting = child<QRadioButton>(dialog, "Option1");
        auto *pulling = child<QRadioButton>(dialog, "Option2");
        auto *notice = child<QLabel>(dialog, "NoticeText");
        pulling->setChecked(true);
        QVERIFY(!notice->isHidden());
        inserting->setChecked(true);
        QVERIFY(notice->isHidden());
    }
    // 57600 bits/s: nothing sent, and the status line says why.
    Bench bench(ReaderModel::Kvr638);
    bench.dialogs.steps << choose(1);
    bench.click("IRcomb");
    QCOMPARE(bench.bodies(), QList<QByteArray>());
    QVERIFY(bench.shown().isEmpty());
    QCOMPARE(bench.window.lineReason(),
             QStringLiteral("57600 bits/s is not offered by the reader; nothing was sent."));
    // The stop position: "OK" sends and shows the result, then closes.
    bool openWhileSent = false;
    bool closedAfter = false;
    Bench kvr690(ReaderModel::Kvr690);
    // A reader this quick could answer before the click returns.
    kvr690.reader.injectFault(sim::Fault::delayReply(100));
    kvr690.dialogs.steps << [&](QDialog &d) {
        child<QAbstractButton>(d, "Option2")->click();
        child<QAbstractButton>(d, "Command1")->click();
        // Not closed yet while the position is on its way.
        openWhileSent = d.result() == 0 && kvr690.shown().isEmpty();
        testing::settle();
        closedAfter = d.result() == QDialog::Accepted;
        return d.result();
    };
    kvr690.click("IRWeizhi");
    QCOMPARE(kvr690.bodies(), QList<QByteArray>{".1"});
    QCOMPARE(kvr690.shown(), QStringList{"Set the card stop position|Success"});
    QVERIFY(openWhileSent);
    QVERIFY(closedAfter);
}

void TestReaderControl::newSpeedNeedsANewSetup() {
    Bench bench(ReaderModel::Kvr638);
    bench.dialogs.steps << choose(5);
    bench.click("IRcomb");
    QCOMPARE(bench.reader.baud(), 19200);

    auto setUpAt = [&](const QString &baud) {
        bench.forget();
        bench.dialogs.steps << [baud](QDialog &d) {
            child<QComboBox>(d, "PortCombo")->setCurrentText(QStringLiteral("COM%1").arg(kPort));
            child<QComboBox>(d, "BaudCombo")->setCurrentText(baud);
            child<QPushButton>(d, "Command1")->click();
            testing::settle();
            return d.result();
        };
        bench.click("IROpencom");
    };
    setUpAt(QStringLiteral("9600 bits/s"));
    QVERIFY(!bench.window.portSetUp());
    QVERIFY(!bench.shown().isEmpty());
    QVERIFY2(bench.shown().first().startsWith(QLatin1String("Caution|Unit not detected")),
             qPrintable(bench.shown().join(QLatin1Char('\n'))));

    setUpAt(QStringLiteral("19200 bits/s"));
    QVERIFY(bench.window.portSetUp());
    QCOMPARE(bench.window.currentModel(), QStringLiteral("KVR-638"));
    QVERIFY(bench.shown().isEmpty());
}

void TestReaderControl::withoutModel() {
    Bench bench(ReaderModel::Kvr690, SimCard{sim::CardKind::Plain, CardPlace::Inside});
    bench.window.IRCLOSECOM_Click();
    bench.window.readerPort().setPortOpen(true);
    bench.window.setPortSetUp(true);
    QCOMPARE(bench.window.currentModel(), QString());
    bench.forget();
    const char *buttons[] = {"IRRESET",    "IRStatus", "SensorState",
                             "IRProhibit", "IRPOP",    "IRCARDTYPE"};
    for (const char *button : buttons) {
        child<QPushButton>(bench.window, button)->setEnabled(true);
        bench.click(button);
    }
    // Status and sensors still ask; nothing else goes out, and no dialog opens.
    QCOMPARE(bench.bodies(), (QList<QByteArray>{"10", "1."}));
    QVERIFY(bench.dialogs.classes.isEmpty());
    QCOMPARE(bench.shown(), (QStringList{"Caution|No ejection command for this sample",
                                         "Caution|No AutoTest command for this sample"}));
}

void TestReaderControl::movesTakeTheirTimeOnTheLine() {
    // The demo's move time: the exchange waits for the reply as for any other.
    Bench bench(ReaderModel::Kvr690, SimCard{sim::CardKind::Plain, CardPlace::Inside});
    bench.reader.setMoveTimeMs(300);
    bench.dialogs.steps << clicks({"Option4", "Command1", "Option1", "Command1", "Command2"});
    bench.click("IRPOP");
    QCOMPARE(bench.bodies(), (QList<QByteArray>{"2/", "20"}));
    QVERIFY(bench.shown().isEmpty());
    QCOMPARE(bench.reader.card().place, CardPlace::Front);
}

QTEST_MAIN(TestReaderControl)
#include "test_readercontrol.moc"
