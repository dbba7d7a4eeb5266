// The "MAGNETIC CARD" tab in the reader window: manual reads and the automatic
// test against the simulated reader on an in-process line, and the automatic
// test's failure paths against a scripted reader on the fake clock.

#include "support/fakeclock.h"
#include "support/recordingmessageboxes.h"
#include "support/scriptedbackend.h"
#include "support/scripteddialogs.h"
#include "support/scriptedreader.h"
#include "support/settle.h"

#include "link/blockon.h"
#include "link/frame.h"
#include "link/portmap.h"
#include "link/recordfile.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "magnetic/magnetictab.h"
#include "shell/readermain.h"
#include "sim/readersim.h"
#include "ui/seams.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <mutex>

using namespace talvex;
using magnetic::MagneticTab;
using sim::MagneticTrack;
using sim::ReaderModel;
using testing::child;

Q_DECLARE_METATYPE(talvex::sim::ReaderModel)

namespace {

constexpr int kSimPort = 21;
constexpr int kScriptedPort = 22;

const QString kTrack1 = "%B4000001234567899^TALVEX/TEST CARD^2812101000000000000000?";
const QString kTrack2 = ";4000001234567899=28121010000000000000?";
const QString kTrack3 = ";011234567890123445=000978100000000000000000000000000000000000000?";

const QString kStatusQueryLine = "SD: 02 00 02 31 30 03 02 ";
const QString kReadAllLine = "SD: 02 00 04 45 30 30 37 03 77 ";
const QString kEjectLine = "SD: 02 00 02 32 30 03 01 ";

// The save dialog answers with a path; the editor records what it opened.
struct FakeDesktop final : ui::FileDialogs, ui::EditorLauncher {
    FakeDesktop() { ui::setFileDialogs(this), ui::setEditorLauncher(this); }
    ~FakeDesktop() override { ui::setFileDialogs(nullptr), ui::setEditorLauncher(nullptr); }
    QString openFile(const ui::OpenFileRequest &r) override { return opens << r, pick; }
    QString saveFile(const ui::SaveFileRequest &r) override { return saves << r, pick; }
    bool openInEditor(const QString &path) override { return opened << path, true; }
    QList<ui::OpenFileRequest> opens;
    QList<ui::SaveFileRequest> saves;
    QString pick;
    QStringList opened;
};

// "Read while inserting the card", then "OK".
int chooseReadWhileInserting(QDialog &dialog) {
    child<QRadioButton>(dialog, "Option1")->setChecked(true);
    child<QPushButton>(dialog, "Command1")->click();
    return dialog.result();
}

QStringList fileLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    return QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
}

// The window on a line, with the tab's timers run one step at a time instead
// of waiting for their intervals.
struct Bench {
    Bench() { link::setRecordFolder(dir.path()); }
    ~Bench() { link::setRecordFolder(QString()); }

    MagneticTab &tab() { return *window.magneticTab(); }
    template <typename T = QWidget> T *find(const char *name) { return child<T>(window, name); }
    QString text(const char *name) {
        if (auto *label = window.findChild<QLabel *>(QLatin1String(name)))
            return label->text();
        return child<QPlainTextEdit>(window, name)->toPlainText();
    }
    // The texts of the counters prefix_from .. prefix_(from + count - 1).
    QStringList texts(const char *prefix, int from, int count) {
        QStringList out;
        for (int i = from; i < from + count; ++i)
            out << text(qPrintable(QStringLiteral("%1_%2").arg(QLatin1String(prefix)).arg(i)));
        return out;
    }
    QTimer *timer(const char *name) { return child<QTimer>(tab(), name); }
    QStringList activeTimers() {
        QStringList names;
        for (auto *t : tab().findChildren<QTimer *>())
            if (t->isActive() && !t->objectName().isEmpty())
                names << t->objectName();
        return names;
    }
    // Runs one handler of the tab on the reader's line, as its button (User)
    // or its timer (Timer) starts it, and lets it finish.
    using Handler = QCoro::Task<> (MagneticTab::*)();
    bool run(Handler handler, link::Operations::Start start = link::Operations::Start::User) {
        tab().operations().run(
            window.readerPort(), [this, handler] { return (tab().*handler)(); }, start);
        return testing::settle();
    }
    // Runs whichever step timer is armed until none is, or the budget is spent,
    // without waiting for the intervals.
    int pump(int maxSteps = 100000, qint64 budgetMs = 120000) {
        const std::pair<const char *, Handler> steps[] = {
            {"Timera", &MagneticTab::Timera_Timer},
            {"Timer634a", &MagneticTab::Timer634a_Timer},
            {"Timer634b", &MagneticTab::Timer634b_Timer},
            {"Timer523a", &MagneticTab::Timer523a_Timer},
            {"Timer523b", &MagneticTab::Timer523b_Timer},
        };
        QElapsedTimer spent;
        spent.start();
        int done = 0;
        for (; done < maxSteps && spent.elapsed() < budgetMs && testing::settle(); ++done) {
            if (timer("ReadTrackTime")->isActive()) {
                tab().ReadTrackTime_Timer();
                continue;
            }
            const auto armed =
                std::find_if(std::begin(steps), std::end(steps),
                             [this](const auto &s) { return timer(s.first)->isActive(); });
            if (armed == std::end(steps))
                break;
            timer(armed->first)->stop();
            run(armed->second, link::Operations::Start::Timer);
        }
        return done;
    }
    QStringList log() { return fileLines(link::magAutoLogPath()); }
    void startTest(const QString &target) {
        find<QLineEdit>("LianXuText")->setText(target);
        run(&MagneticTab::RCommand_Click);
    }
    QString statusLine() { return window.lineReason(); }
    // Which of the automatic test's controls are enabled.
    QStringList enabled() {
        QStringList out;
        for (const char *name : {"RCommand", "RsCommand", "LianXuText", "FrameComm", "McardFrame1"})
            if (find(name)->isEnabled())
                out << QLatin1String(name);
        return out;
    }

    QTemporaryDir dir;
    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    FakeDesktop desktop;
    shell::ReaderMain window;
};

// The simulated reader behind the window's port, on an in-process line.
struct SimBench : Bench {
    explicit SimBench(ReaderModel model) : reader(model, 9600, sim::Transport::Loopback) {
        reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
            if (d == sim::Direction::FromProgram) {
                std::lock_guard lock(trafficMutex);
                fromProgram += bytes;
            }
        });
        // Card moves at once: the cycles run as fast as the line allows.
        reader.setMoveTimeMs(0);
        started = reader.start();
        reader.mapToPort(kSimPort);
        window.readerPort().setCommPort(kSimPort);
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
        link::blockOn(window.DetectReaderModel());
    }
    ~SimBench() {
        window.readerPort().setPortOpen(false);
        link::portmap::unmap(kSimPort);
    }
    void insert(const sim::MagneticCard &tracks = sim::MagneticCard::testCard()) {
        sim::SimCard card;
        card.kind = sim::CardKind::Magnetic;
        card.magnetic = tracks;
        reader.setCard(card);
    }
    void forgetTraffic() {
        std::lock_guard lock(trafficMutex);
        fromProgram.clear();
    }
    int sent(const QByteArray &frame) {
        std::lock_guard lock(trafficMutex);
        return int(fromProgram.count(frame));
    }
    void readTracks() {
        find<QPushButton>("ReadCardComm")->click();
        QVERIFY(testing::settle());
        QTRY_VERIFY(!timer("ReadTrackTime")->isActive());
    }

    sim::ReaderSim reader;
    bool started = false;
    std::mutex trafficMutex;
    QByteArray fromProgram;
};

// A scripted KVR-690 on the fake clock: each command body gets the reply the
// test sets (nothing at all for a body missing from the table).
struct ScriptedBench : Bench {
    explicit ScriptedBench(const QByteArray &resetReply = "P0KVR690 V3.1") {
        replies = {
            {"00", link::buildReaderFrame(resetReply)},
            {"10", link::buildReaderFrame("P0JJJ")},
            {"/20", link::buildReaderFrame("P20Y")},
            {".2", link::buildReaderFrame("P2Y")},
            {"E007", link::buildReaderFrame("P0Y07Y%A?\x1FY;1?\x1FY;2?")},
            {"20", link::buildReaderFrame("P0Y")},
        };
        reader.replyTo = [this](const QByteArray &command) -> std::optional<QByteArray> {
            const QByteArray body = command.mid(3, command.size() - 5);
            return replies.contains(body) ? std::optional(replies.value(body)) : std::nullopt;
        };
        link::portmap::mapBackend(kScriptedPort, [this] {
            auto backend = std::make_unique<testing::ScriptedBackend>(clock);
            line = backend.get();
            line->onWrite = [this](const QByteArray &w, testing::ScriptedBackend &l) {
                reader.respond(w, l);
            };
            return backend;
        });
        window.readerPort().setCommPort(kScriptedPort);
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
        link::blockOn(window.DetectReaderModel());
    }
    ~ScriptedBench() { link::portmap::unmap(kScriptedPort); }
    void readTracks() {
        find<QPushButton>("ReadCardComm")->click();
        pump();
    }

    testing::FakeClock clock;
    link::ScopedClock scopedClock{clock};
    testing::ScriptedReader reader;
    testing::ScriptedBackend *line = nullptr;
    QHash<QByteArray, QByteArray> replies;
};

} // namespace

class TestMagneticTab : public QObject {
    Q_OBJECT

private slots:
    void readNeedsThePort();
    void manualReadShowsTracksAndAnError();
    void binForm();
    void countersAfterMixedReads();
    void saveData();
    void openLog();

    void autoTestReachesItsTarget_data();
    void autoTestReachesItsTarget();
    void quietPollsAreLoggedOnce();
    void stopCountsTheQuietPolls();
    void autoTestRefuses();
    void kvr523InitiativeUploading();
    void kvr523EotRearmsTheWatch();

    void autoTestKeepsItsPaceWhileTheWindowResponds();
    void clickOnABusyLineIsRefused();
    void manualReadWithoutTracksSaysWhy_data();
    void manualReadWithoutTracksSaysWhy();
    void savedTrackFileKeepsEveryLineBreak();
    void pollRetryIntervals_data();
    void pollRetryIntervals();
    void lastStatusDecidesTheRepetitionLine_data();
    void lastStatusDecidesTheRepetitionLine();
    void autoReadCountsErrors_data();
    void autoReadCountsErrors();
    void kvr523WatchAwaitsTheLine();
    void kvr523StopOnALineThatWentAway_data();
    void kvr523StopOnALineThatWentAway();

    void readFailuresArmNothing_data();
    void readFailuresArmNothing();
    void preparationAndEjectFailuresStop_data();
    void preparationAndEjectFailuresStop();
};

void TestMagneticTab::readNeedsThePort() {
    Bench bench;
    bench.find<QPushButton>("ReadCardComm")->click();
    bench.run(&MagneticTab::RCommand_Click);
    QCOMPARE(bench.boxes.texts(),
             (QStringList{"Comm. Port Setup First", "Comm. Port Setup First"}));
    QCOMPARE(bench.boxes.shown.first().title, QStringLiteral("Caution"));
    QVERIFY(bench.activeTimers().isEmpty());
}

void TestMagneticTab::manualReadShowsTracksAndAnError() {
    SimBench bench(ReaderModel::Kvr690);
    QVERIFY(bench.started);
    sim::MagneticCard card = sim::MagneticCard::testCard();
    card.tracks[1].fault = MagneticTrack::Fault::Parity;
    bench.insert(card);
    bench.readTracks();

    QCOMPARE(bench.sent(QByteArray::fromHex("020004453030370377")), 1);
    QCOMPARE(bench.text("Track1Text1"), kTrack1);
    QCOMPARE(bench.text("TrackLen_1"), QStringLiteral(" 59Bytes"));
    QCOMPARE(bench.find<QPlainTextEdit>("Track1Text1")->font().pointSize(), 12);
    QCOMPARE(bench.text("Track2Text1"),
             QStringLiteral("Read/Parity Error\nByte Parity Error(Parity)"));
    QCOMPARE(bench.text("TrackLen_2"), QStringLiteral("0 Byte"));
    QCOMPARE(bench.find<QPlainTextEdit>("Track2Text1")->font().pointSize(), 9);
    QCOMPARE(bench.text("Track3Text1"), kTrack3);
    QCOMPARE(bench.text("TrackLen_3"), QStringLiteral(" 66Bytes"));
    // Track 2: read, error, rate, then STX, ETX, Parity, LRC, BLANK.
    QCOMPARE(bench.texts("MCErrorNumS", 3, 3) + bench.texts("MCErrorNumS11", 5, 5),
             (QStringList{"1", "1", "100", "0", "0", "1", "0", "0"}));
    QCOMPARE(bench.text("MCErrorNumS_0"), QStringLiteral("1"));
    QCOMPARE(bench.text("MCErrorNumS_6"), QStringLiteral("1"));
    QVERIFY(bench.boxes.shown.isEmpty());
    QVERIFY(bench.find<QPushButton>("ReadCardComm")->isEnabled());
}

void TestMagneticTab::binForm() {
    SimBench bench(ReaderModel::Kvr690);
    sim::MagneticCard card = sim::MagneticCard::testCard();
    card.tracks[1].data = ";1?";
    bench.insert(card);
    bench.find<QRadioButton>("MreadOption2")->setChecked(true);
    bench.find<QCheckBox>("Track1Check")->setChecked(false);
    bench.find<QCheckBox>("Track3Check")->setChecked(false);
    bench.readTracks();
    QCOMPARE(bench.sent(QByteArray::fromHex("020004453031320373")), 1);
    QCOMPARE(bench.text("Track2Text1"), QStringLiteral("001110110011000100111111"));
    QCOMPARE(bench.text("TrackLen_2"), QStringLiteral(" 24Bytes"));
    QCOMPARE(bench.text("Track1Text1"),
             QStringLiteral("No Read Operation\nCard Track Data is 0x00"));
}

void TestMagneticTab::countersAfterMixedReads() {
    using Fault = MagneticTrack::Fault;
    SimBench bench(ReaderModel::Kvr690);
    const Fault reads[][3] = {
        {Fault::None, Fault::None, Fault::None},
        {Fault::None, Fault::Parity, Fault::None},
        {Fault::NoStart, Fault::None, Fault::Blank},
        {Fault::NotRead, Fault::Lrc, Fault::Blank},
    };
    for (const auto &faults : reads) {
        sim::MagneticCard card = sim::MagneticCard::testCard();
        for (int t = 0; t < 3; ++t)
            card.tracks[t].fault = faults[t];
        bench.insert(card);
        bench.readTracks();
    }
    QCOMPARE(bench.texts("MCErrorNumS", 0, 9),
             (QStringList{"3", "1", "33.3333333333333", "4", "2", "50", "4", "2", "50"}));
    QCOMPARE(bench.texts("MCErrorNumS11", 0, 15).join(QString()),
             QStringLiteral("100000011000002"));

    bench.find<QPushButton>("MCleartrack")->click();
    QCOMPARE(bench.texts("MCErrorNumS", 0, 9), QStringList(9, QStringLiteral("0")));
    QCOMPARE(bench.texts("MCErrorNumS11", 0, 15), QStringList(15, QStringLiteral("0")));
}

void TestMagneticTab::saveData() {
    SimBench bench(ReaderModel::Kvr690);
    sim::MagneticCard card = sim::MagneticCard::testCard();
    card.tracks[2].fault = MagneticTrack::Fault::Lrc;
    bench.insert(card);
    bench.readTracks();

    qputenv("winDir", bench.dir.path().toLocal8Bit());
    bench.desktop.pick = bench.dir.filePath(QStringLiteral("tracks"));
    bench.find<QPushButton>("MCARDSave")->click();
    qunsetenv("winDir");

    QCOMPARE(bench.desktop.saves.size(), 1);
    QCOMPARE(bench.desktop.saves[0].title, QStringLiteral("Save As..."));
    QCOMPARE(bench.desktop.saves[0].filter, QStringLiteral("Text Files (*.TXT)"));
    QCOMPARE(bench.desktop.saves[0].directory, bench.dir.path());
    const QString path = bench.dir.filePath(QStringLiteral("tracks.TXT"));
    QCOMPARE(bench.boxes.shown.size(), 1);
    QCOMPARE(bench.boxes.shown[0].title, QStringLiteral("Save As..."));
    QCOMPARE(bench.boxes.shown[0].text,
             QStringLiteral("File Name is tracks.TXT\r\nFull path and file is ") + path);
    QCOMPARE(fileLines(path),
             (QStringList{"Track1=" + kTrack1, "Track2=" + kTrack2, "Track3=Read/Parity Error",
                          "Parity Bit Error(LRC)", ""}));

    // Cancelled: nothing written, nothing shown.
    QFile::remove(path);
    bench.desktop.pick.clear();
    bench.find<QPushButton>("MCARDSave")->click();
    QVERIFY(!QFile::exists(path));
    QCOMPARE(bench.boxes.shown.size(), 1);
}

void TestMagneticTab::openLog() {
    Bench bench;
    bench.find<QPushButton>("OpenMagFileBtn")->click(); // cancelled: nothing
    bench.desktop.pick = QStringLiteral("/x/MagAuto1.txt");
    bench.find<QPushButton>("OpenMagFileBtn")->click();
    QCOMPARE(bench.desktop.opens.size(), 2);
    QCOMPARE(bench.desktop.opens[0].title, QStringLiteral("Open file"));
    QCOMPARE(bench.desktop.opens[0].fileName, QStringLiteral("MagAuto*.TXT"));
    QCOMPARE(bench.desktop.opens[0].directory, bench.dir.path());
    QCOMPARE(bench.desktop.opened, QStringList{"/x/MagAuto1.txt"});
}

void TestMagneticTab::autoTestReachesItsTarget_data() {
    QTest::addColumn<ReaderModel>("model");
    // What goes out before the first poll: entry control and stop position,
    // each with its ENQ.
    QTest::addColumn<QByteArray>("preparation");
    QTest::newRow("KVR-634") << ReaderModel::Kvr634 << QByteArray();
    QTest::newRow("KVR-638") << ReaderModel::Kvr638 << QByteArray::fromHex("0200032F3231032E05");
    QTest::newRow("KVR-690") << ReaderModel::Kvr690
                             << QByteArray::fromHex("0200032F3230032F05"
                                                    "0200022E32031F05");
}

void TestMagneticTab::autoTestReachesItsTarget() {
    QFETCH(ReaderModel, model);
    QFETCH(QByteArray, preparation);

    SimBench bench(model);
    QVERIFY(bench.started);
    bench.insert();
    bench.reader.setFeeder(true, 0);
    bench.find<QCheckBox>("CheckRecordToFile")->setChecked(true);
    bench.forgetTraffic();
    bench.startTest(QStringLiteral("3"));
    QVERIFY(!bench.find<QCheckBox>("CheckRecordToFile")->isChecked());
    QCOMPARE(bench.enabled(), QStringList{"RsCommand"});
    bench.pump();

    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("3"));
    QCOMPARE(bench.text("ErrNumLabel"), QStringLiteral("0"));
    QCOMPARE(bench.text("Rate"), QStringLiteral("0"));
    QCOMPARE(bench.sent(QByteArray::fromHex("020004453030370377")), 3);
    QCOMPARE(bench.sent(QByteArray::fromHex("02000232300301")), 3);
    QVERIFY(bench.fromProgram.startsWith(preparation + QByteArray::fromHex("02000231300302")));
    QCOMPARE(bench.text("MCErrorNumS_3"), QStringLiteral("3"));
    QVERIFY(bench.activeTimers().isEmpty());
    QCOMPARE(bench.enabled(), (QStringList{"RCommand", "LianXuText", "FrameComm", "McardFrame1"}));
    QVERIFY(bench.boxes.shown.isEmpty());

    const QStringList log = bench.log();
    QCOMPARE(log.mid(0, 3),
             (QStringList{"This file is generated by magnetic automated test log files by " +
                              sim::readerModelName(model),
                          "", ""}));
    QCOMPARE(log.count(kReadAllLine), 3);
    QCOMPARE(log.count(kEjectLine), 3);
}

void TestMagneticTab::quietPollsAreLoggedOnce() {
    SimBench bench(ReaderModel::Kvr690);
    bench.startTest(QStringLiteral("1"));
    QCOMPARE(bench.activeTimers(), QStringList{"Timera"});
    for (int poll = 0; poll < 5; ++poll)
        bench.run(&MagneticTab::Timera_Timer, link::Operations::Start::Timer);
    bench.insert();
    bench.pump();
    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("1"));

    QStringList log = bench.log();
    log = log.mid(log.indexOf(kStatusQueryLine));
    const QStringList expected = {
        kStatusQueryLine,
        "SD: 05",
        // Entry by magnetic signal and switch ("I"), rear entry permitted.
        "RD: 02 00 05 50 30 4E 49 4A 03 29 ",
        "Same  5 times",
        "",
        kStatusQueryLine,
        "SD: 05",
        "RD: 02 00 05 50 30 4A 49 4A 03 2D ",
        "",
        kReadAllLine,
        "RD: 06 ",
        "SD: 05",
    };
    QCOMPARE(log.mid(0, expected.size()), expected);
    const QStringList tail = {kEjectLine, "SD: 05", "RD: 02 00 03 50 30 59 03 3B ", "", ""};
    QCOMPARE(log.mid(log.size() - tail.size()), tail);
}

void TestMagneticTab::stopCountsTheQuietPolls() {
    SimBench bench(ReaderModel::Kvr634);
    bench.startTest(QStringLiteral("5"));
    for (int poll = 0; poll < 3; ++poll)
        bench.run(&MagneticTab::Timera_Timer, link::Operations::Start::Timer);
    bench.find<QPushButton>("RsCommand")->click();
    QVERIFY(testing::settle());
    QVERIFY(bench.activeTimers().isEmpty());
    const QStringList log = bench.log();
    QCOMPARE(log.mid(log.size() - 6),
             (QStringList{kStatusQueryLine, "SD: 05", "RD: 02 00 04 50 30 4E 59 03 72 ",
                          "Same  3 times", "", ""}));
}

void TestMagneticTab::autoTestRefuses() {
    SimBench bench(ReaderModel::Kvr416);
    bench.startTest(QStringLiteral("5"));
    QCOMPARE(bench.boxes.texts(), QStringList{"No Function of Continuous Testing on This Model"});
    QCOMPARE(bench.boxes.shown[0].title, QStringLiteral("Caution"));
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(!bench.tab().autoTestRunning());
}

void TestMagneticTab::kvr523InitiativeUploading() {
    SimBench bench(ReaderModel::Kvr523);
    bench.find<QLineEdit>("LianXuText")->setText(QStringLiteral("2"));
    bench.dialogs.steps << chooseReadWhileInserting << chooseReadWhileInserting;
    bench.find<QCheckBox>("ReadCardType523")->setChecked(true);

    // Reading method: ASCII, uploading on, all tracks, read while inserting.
    QTRY_VERIFY(bench.reader.initiativeUploading());
    QCOMPARE(bench.sent(QByteArray::fromHex("0200064630303037300376")), 1);
    QTRY_VERIFY(!bench.find<QCheckBox>("Track1Check")->isEnabled());
    QVERIFY(!bench.find<QPushButton>("ReadCardComm")->isEnabled());
    QCOMPARE(bench.timer("Timer523a")->interval(), 1);

    // The watch awaits the reader on the line: each upload is answered as it
    // comes, with no tick of a millisecond timer in between.
    for (int swipe = 1; swipe <= 2; ++swipe) {
        bench.reader.swipeCard();
        QTRY_COMPARE_WITH_TIMEOUT(bench.text("ReadNumLabel"), QString::number(swipe), 5000);
        QCOMPARE(bench.text("Track2Text1"), kTrack2);
    }
    const QStringList log = bench.log();
    QCOMPARE(log.count(QStringLiteral("RD: 05 ")), 2);
    QCOMPARE(log.count(QStringLiteral("SD: 6")), 2);

    // The target is reached at the next look: the test stops and tells the
    // reader to wait for the read command again.
    QTRY_VERIFY(!bench.tab().autoTestRunning());
    QVERIFY(testing::settle());
    // Detection, the start and the stop each asked for the reading method.
    QCOMPARE(bench.dialogs.classes.size(), 3);
    QCOMPARE(bench.sent(QByteArray::fromHex("0200064630303137300377")), 1);
    QVERIFY(!bench.reader.initiativeUploading());
    QVERIFY(!bench.find<QCheckBox>("ReadCardType523")->isChecked());
    QVERIFY(bench.find<QPushButton>("ReadCardComm")->isEnabled());
    // Commanded reading again: the test frame waits for the box to be checked.
    QVERIFY(!bench.find("McardFrame2")->isEnabled());
    QVERIFY(bench.find<QPushButton>("RCommand")->isEnabledTo(bench.find("McardFrame2")));
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(bench.boxes.shown.isEmpty());
}

void TestMagneticTab::kvr523EotRearmsTheWatch() {
    SimBench bench(ReaderModel::Kvr523);
    bench.dialogs.steps << chooseReadWhileInserting;
    bench.find<QCheckBox>("ReadCardType523")->setChecked(true);
    QTRY_VERIFY(bench.reader.initiativeUploading());
    // A swipe nobody answers (the watch is given up meanwhile): the reader
    // asks three times and gives up; the next look finds that.
    QTRY_COMPARE(bench.timer("Timer523a")->interval(), 1);
    QTRY_VERIFY(bench.tab().operations().running());
    bench.window.readerPort().abandonWait();
    QVERIFY(testing::settle());
    QVERIFY(!bench.timer("Timer523a")->isActive());
    bench.reader.swipeCard();
    QTest::qWait(3300);
    bench.tab().operations().run(
        bench.window.readerPort(), [&bench] { return bench.tab().Timer523a_Timer(); },
        link::Operations::Start::Timer);
    QTRY_COMPARE_WITH_TIMEOUT(bench.timer("Timer523a")->interval(), 100, 5000);
    QCOMPARE(bench.log().last(2).first(), QStringLiteral("RD: 05 05 05 04 "));
    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("0"));

    // "Stop" gives up the watch's wait at once and sends the reading method.
    bench.dialogs.steps << chooseReadWhileInserting;
    bench.find<QPushButton>("RsCommand")->click();
    QVERIFY(testing::settle());
    QVERIFY(!bench.tab().autoTestRunning());
    QVERIFY(!bench.reader.initiativeUploading());
    QCOMPARE(bench.statusLine(), QString());
}

void TestMagneticTab::autoTestKeepsItsPaceWhileTheWindowResponds() {
    SimBench bench(ReaderModel::Kvr690);
    QVERIFY(bench.started);
    bench.insert();
    bench.reader.setFeeder(true, 0);
    bench.find<QLineEdit>("LianXuText")->setText(QStringLiteral("3"));

    // A 10 ms heartbeat of the window thread: its worst gap shows any wait
    // that holds the window.
    QElapsedTimer elapsed;
    qint64 lastBeat = -1;
    qint64 worstGap = 0;
    QTimer beat;
    beat.setInterval(10);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = elapsed.elapsed();
        if (lastBeat >= 0)
            worstGap = std::max(worstGap, now - lastBeat);
        lastBeat = now;
    });
    elapsed.start();
    beat.start();
    bench.find<QPushButton>("RCommand")->click();
    // The click returns while the entry control still waits for its reply.
    QVERIFY(bench.tab().operations().running());
    QTRY_VERIFY_WITH_TIMEOUT(!bench.tab().autoTestRunning(), 20000);
    const qint64 took = elapsed.elapsed();
    beat.stop();

    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("3"));
    QCOMPARE(bench.sent(QByteArray::fromHex("02000232300301")), 3);
    // 500 ms after the entry control's ENQ, then each of the three polls
    // 100 ms after the step before.
    QVERIFY2(took >= 800, qPrintable(QString::number(took)));
    QVERIFY2(worstGap < 250, qPrintable(QString::number(worstGap)));
    QVERIFY(bench.boxes.shown.isEmpty());
}

void TestMagneticTab::clickOnABusyLineIsRefused() {
    SimBench bench(ReaderModel::Kvr690);
    bench.insert();
    bench.forgetTraffic();
    link::SerialComm &port = bench.window.readerPort();
    link::Operations other;
    other.run(port, [&port] { return port.pause(300); });
    bench.find<QPushButton>("ReadCardComm")->click();
    QCOMPARE(bench.statusLine(),
             QStringLiteral("COM21 is busy with the command before; this one was not sent."));
    QVERIFY(testing::settle());
    QCOMPARE(bench.sent(QByteArray::fromHex("020004453030370377")), 0);
    QCOMPARE(bench.text("Track1Text1"), QString());
}

void TestMagneticTab::manualReadWithoutTracksSaysWhy_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");
    QTest::newRow("no card") << QByteArray("P0E")
                             << QStringLiteral("Read Track Data: No Card In The Reader");
    QTest::newRow("not in position")
        << QByteArray("P0W")
        << QStringLiteral("Read Track Data: The card is not on the IC card operation position");
}

void TestMagneticTab::manualReadWithoutTracksSaysWhy() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    ScriptedBench bench;
    bench.replies.insert("E007", link::buildReaderFrame(reply));
    bench.readTracks();
    QCOMPARE(bench.statusLine(), status);
    QVERIFY(bench.boxes.shown.isEmpty());
    QCOMPARE(bench.text("Track1Text1"), QString());
}

void TestMagneticTab::savedTrackFileKeepsEveryLineBreak() {
    ScriptedBench bench;
    // Track 3 failed with a code that has no detail line.
    bench.replies.insert("E007", link::buildReaderFrame("P0Y07Y%A?\x1FY;1?\x1FN\xE6"));
    bench.readTracks();
    bench.desktop.pick = bench.dir.filePath(QStringLiteral("tracks.TXT"));
    bench.find<QPushButton>("MCARDSave")->click();
    QFile file(bench.desktop.pick);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("Track1=%A?\r\nTrack2=;1?\r\nTrack3=Read/Parity Error\r\n\r\n"));
}

void TestMagneticTab::pollRetryIntervals_data() {
    QTest::addColumn<QByteArray>("answer");      // to the status command
    QTest::addColumn<QByteArray>("statusReply"); // after the ENQ
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("lastLogLine");
    QTest::newRow("NAK") << QByteArray("\x15") << QByteArray() << 1500 << kStatusQueryLine;
    QTest::newRow("silence") << QByteArray() << QByteArray() << 100 << QString();
    QTest::newRow("NAK for the status")
        << QByteArray("\x06") << QByteArray("\x15\x15") << 1500 << QString();
    QTest::newRow("short status") << QByteArray("\x06") << QByteArray("\x02\x00") << 100
                                  << QString();
}

void TestMagneticTab::pollRetryIntervals() {
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, statusReply);
    QFETCH(int, interval);
    QFETCH(QString, lastLogLine);

    ScriptedBench bench;
    bench.startTest(QStringLiteral("3"));
    QCOMPARE(bench.activeTimers(), QStringList{"Timera"});
    QCOMPARE(bench.timer("Timera")->interval(), 100);
    bench.reader.answer = answer;
    bench.replies.insert("10", statusReply);
    bench.pump(1);
    QCOMPARE(bench.activeTimers(), QStringList{"Timera"});
    QCOMPARE(bench.timer("Timera")->interval(), interval);
    QCOMPARE(bench.log().last(2).first(), lastLogLine);
    QVERIFY(bench.boxes.shown.isEmpty());
}

void TestMagneticTab::lastStatusDecidesTheRepetitionLine_data() {
    QTest::addColumn<QByteArray>("firstStatus");
    QTest::addColumn<QStringList>("firstPoll");
    QTest::addColumn<QStringList>("afterEject");
    const QString nextPoll = "RD: 02 00 05 50 30 4E 4A 4A 03 2A ";
    // "J" then "N": no repetition line after a "J"; an empty line before the
    // read of the first "J".
    QTest::newRow("J then N") << QByteArray("P0JJJ")
                              << QStringList{kStatusQueryLine, "SD: 05",
                                             "RD: 02 00 05 50 30 4A 4A 4A 03 2E ", "", kReadAllLine}
                              << QStringList{"", kStatusQueryLine, "SD: 05", nextPoll, "", ""};
    QTest::newRow("K then N") << QByteArray("P0KJJ")
                              << QStringList{kStatusQueryLine, "SD: 05",
                                             "RD: 02 00 05 50 30 4B 4A 4A 03 2F ", kReadAllLine}
                              << QStringList{"",       "Same  1 times", "", kStatusQueryLine,
                                             "SD: 05", nextPoll,        "", ""};
}

void TestMagneticTab::lastStatusDecidesTheRepetitionLine() {
    QFETCH(QByteArray, firstStatus);
    QFETCH(QStringList, firstPoll);
    QFETCH(QStringList, afterEject);

    ScriptedBench bench;
    bench.replies.insert("10", link::buildReaderFrame(firstStatus));
    bench.startTest(QStringLiteral("2"));
    bench.pump(3); // poll, read command, reply and eject
    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("1"));
    QCOMPARE(bench.activeTimers(), QStringList{"Timera"});
    bench.replies.insert("10", link::buildReaderFrame("P0NJJ"));
    bench.pump(1);
    bench.find<QPushButton>("RsCommand")->click();

    const QStringList log = bench.log();
    const qsizetype poll = log.indexOf(kStatusQueryLine);
    QCOMPARE(log.mid(poll, firstPoll.size()), firstPoll);
    const qsizetype eject = log.indexOf("RD: 02 00 03 50 30 59 03 3B ");
    QVERIFY(eject > poll);
    QCOMPARE(log.mid(eject + 1), afterEject);
}

void TestMagneticTab::autoReadCountsErrors_data() {
    QTest::addColumn<QByteArray>("body");
    // Read Times, Error Times, Error Rate, then the error types of all three
    // tracks (STX, ETX, Parity, LRC, BLANK each).
    QTest::addColumn<QStringList>("counts");
    QTest::newRow("track 2 parity") << QByteArray("P0Y07Y%A?\x1FN\xE3\x1FY;2?")
                                    << QStringList{"1", "1", "100", "000000010000000"};
    QTest::newRow("empty body") << QByteArray() << QStringList{"1", "1", "100", "000000000000000"};
}

void TestMagneticTab::autoReadCountsErrors() {
    QFETCH(QByteArray, body);
    QFETCH(QStringList, counts);
    ScriptedBench bench;
    bench.replies.insert("E007", link::buildReaderFrame(body));
    bench.startTest(QStringLiteral("1"));
    bench.pump();
    QCOMPARE((QStringList{bench.text("ReadNumLabel"), bench.text("ErrNumLabel"), bench.text("Rate"),
                          bench.texts("MCErrorNumS11", 0, 15).join(QString())}),
             counts);
    QVERIFY(!bench.tab().autoTestRunning());
    QVERIFY(bench.boxes.shown.isEmpty());
}

void TestMagneticTab::kvr523WatchAwaitsTheLine() {
    ScriptedBench bench("P0KVR523 V3.1");
    bench.replies.insert("F00070", link::buildReaderFrame("P00070Y"));
    bench.find<QLineEdit>("LianXuText")->setText(QStringLiteral("5"));
    bench.dialogs.steps << chooseReadWhileInserting;
    bench.find<QCheckBox>("ReadCardType523")->setChecked(true);
    QVERIFY(bench.tab().autoTestRunning());
    QCOMPARE(bench.activeTimers(), QStringList{"Timer523a"});

    // A quiet line: one look awaits it for 500 ms, then looks again.
    qint64 from = bench.clock.nowMs();
    bench.pump(1);
    QCOMPARE(bench.clock.nowMs() - from, 500);
    QCOMPARE(bench.activeTimers(), QStringList{"Timer523a"});

    // Line noise: the day's log takes the first 4096 bytes of it, no more.
    for (int burst = 0; burst < 100; ++burst) {
        bench.line->feedAfter(0, QByteArray(100, 'A'));
        bench.pump(1);
    }
    QCOMPARE(bench.activeTimers(), QStringList{"Timer523a"});
    QFile log(link::magAutoLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("41 "), 4096);
    QCOMPARE(bench.statusLine(),
             QStringLiteral("Uploading test: the line keeps sending bytes nobody asked for; "
                            "after 4096 of them the day's log no longer takes them."));

    // An upload request 200 ms into a look is answered at once.
    bench.line->feedAfter(200, QByteArray("\x05"));
    from = bench.clock.nowMs();
    bench.pump(1);
    QCOMPARE(bench.clock.nowMs() - from, 200);
    QCOMPARE(bench.line->writes().last(), QByteArray("\x06"));
    QCOMPARE(bench.activeTimers(), QStringList{"Timer523b"});
}

void TestMagneticTab::kvr523StopOnALineThatWentAway_data() {
    QTest::addColumn<bool>("watchFindsIt");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("Stop pressed") << false << QStringList();
    QTest::newRow("the watch finds it") << true << QStringList{link::text::communicationError()};
}

void TestMagneticTab::kvr523StopOnALineThatWentAway() {
    QFETCH(bool, watchFindsIt);
    QFETCH(QStringList, boxes);
    ScriptedBench bench("P0KVR523 V3.1");
    bench.replies.insert("F00070", link::buildReaderFrame("P00070Y"));
    bench.dialogs.steps << chooseReadWhileInserting;
    bench.find<QCheckBox>("ReadCardType523")->setChecked(true);
    QVERIFY(bench.tab().autoTestRunning());
    const qsizetype dialogs = bench.dialogs.classes.size();
    const qsizetype writes = bench.line->writes().size();

    bench.line->hangUp();
    if (watchFindsIt)
        bench.pump(1);
    else
        bench.find<QPushButton>("RsCommand")->click();

    QCOMPARE(bench.boxes.texts(), boxes);
    QCOMPARE(bench.dialogs.classes.size(), dialogs);
    QCOMPARE(bench.line->writes().size(), writes);
    QCOMPARE(bench.statusLine(),
             QStringLiteral("COM22: the device went away (unplugged or switched off?). Bring it "
                            "back, then use Setup Comm again."));
    QVERIFY(!bench.tab().autoTestRunning());
    QVERIFY(!bench.find<QCheckBox>("ReadCardType523")->isChecked());
    QVERIFY(bench.activeTimers().isEmpty());
}

void TestMagneticTab::readFailuresArmNothing_data() {
    QTest::addColumn<std::optional<QByteArray>>("readReply");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("no ACK") << std::optional<QByteArray>() << QByteArray("\x06")
                            << QStringList{link::text::communicationError()};
    QTest::newRow("NAK") << std::optional<QByteArray>(QByteArray()) << QByteArray("\x15")
                         << QStringList();
    QTest::newRow("ACK, then no reply")
        << std::optional<QByteArray>(QByteArray()) << QByteArray("\x06") << QStringList();
    QTest::newRow("negative reply")
        << std::optional<QByteArray>(link::buildReaderFrame(QByteArray("N0\x02", 3)))
        << QByteArray("\x06") << QStringList{"Command Can Not Be Executed"};
}

void TestMagneticTab::readFailuresArmNothing() {
    QFETCH(std::optional<QByteArray>, readReply);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, boxes);

    ScriptedBench bench;
    if (readReply)
        bench.replies.insert("E007", *readReply);
    else
        bench.replies.remove("E007");
    bench.startTest(QStringLiteral("3"));
    bench.pump(1); // the poll finds a card
    QCOMPARE(bench.activeTimers(), QStringList{"Timer634a"});
    bench.reader.answer = answer;
    bench.pump();

    QCOMPARE(bench.boxes.texts(), boxes);
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(bench.tab().autoTestRunning());
    QVERIFY(bench.find<QPushButton>("RsCommand")->isEnabled());
    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("0"));
    QCOMPARE(bench.log().last(2).first(), QString());
}

void TestMagneticTab::preparationAndEjectFailuresStop_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<std::optional<QByteArray>>("reply");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("reads");
    QTest::addColumn<QString>("status");
    // A reply body of nullopt leaves the command unanswered.
    const auto row = [](const char *name, const QByteArray &body, std::optional<QByteArray> reply,
                        const QString &box, const QString &title, const QString &reads,
                        const QString &status = {}) {
        QTest::newRow(name) << body
                            << (reply ? std::optional(link::buildReaderFrame(*reply)) : reply)
                            << (box.isEmpty() ? QStringList() : QStringList{box}) << title << reads
                            << status;
    };
    const QString comm = link::text::communicationError();
    row("entry control unanswered", "/20", std::nullopt, comm, "Caution", "0");
    row("stop position refused", ".2", "P2N", "Card stop position setting failed", "Auto test",
        "0");
    row("stop position negative", ".2", QByteArray("N2\x01", 3), "Parameter Wrong", "Error", "0");
    row("eject N", "20", "P0N", "Eject Card Error", "Eject Card", "1");
    row("eject E", "20", "P0E", "No Card In The Reader", "Eject Card", "1");
    row("eject W", "20", "P0W", "The card is not on the IC card operation position", "Eject Card",
        "1");
    row("eject unanswered", "20", std::nullopt, comm, "Caution", "1");
    // A result the reader has no word for: no box, but the test does not end
    // in silence.
    row("eject Q", "20", "P0Q", {}, {}, "1",
        "Eject Card: unknown result 51h; the automatic test stopped.");
}

void TestMagneticTab::preparationAndEjectFailuresStop() {
    QFETCH(QByteArray, body);
    QFETCH(std::optional<QByteArray>, reply);
    QFETCH(QStringList, boxes);
    QFETCH(QString, title);
    QFETCH(QString, reads);
    QFETCH(QString, status);

    ScriptedBench bench;
    if (reply)
        bench.replies.insert(body, *reply);
    else
        bench.replies.remove(body);
    bench.startTest(QStringLiteral("3"));
    bench.pump();

    QCOMPARE(bench.boxes.texts(), boxes);
    if (!boxes.isEmpty())
        QCOMPARE(bench.boxes.shown.last().title, title);
    QCOMPARE(bench.statusLine(), status);
    QCOMPARE(bench.text("ReadNumLabel"), reads);
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(!bench.tab().autoTestRunning());
    QCOMPARE(bench.enabled(), (QStringList{"RCommand", "LianXuText", "FrameComm", "McardFrame1"}));
}

QTEST_MAIN(TestMagneticTab)
#include "test_magnetictab.moc"
