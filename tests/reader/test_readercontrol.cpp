// The reader control buttons against the simulated readers, through a real
// pseudo-terminal: the frames each button puts on the line, the boxes it
// shows, and the dialog flows around them.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"

#include "link/portmap.h"
#include "reader/commonframe.h"
#include "shell/readermain.h"
#include "sim/readersim.h"

#include <QCheckBox>
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

// A dialog step: click the named controls in order and return the result.
ui::DialogScript clicks(QStringList names) {
    return [names](QDialog &dialog) {
        for (const QString &name : names)
            child<QAbstractButton>(dialog, qPrintable(name))->click();
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
        window.DetectReaderModel();
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
    void click(const char *button) { child<QPushButton>(window, button)->click(); }
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
    row("634 cancel", M::Kvr634, none, "IRProhibit", S{cancel()}, B{}, T{});
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
    row("690 front", M::Kvr690, inside, "IRPOP", S{clicks({"Option1", "Command1"})}, B{"20"}, T{});
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
    child<QPushButton>(bench.window, qPrintable(button))->setEnabled(true);
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
    bench.window.DetectReaderModel();
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
    bench.window.DetectReaderModel();
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

QTEST_MAIN(TestReaderControl)
#include "test_readercontrol.moc"
