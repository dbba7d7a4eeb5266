// The "MAGNETIC CARD" tab in the reader window: manual reads and the automatic
// test against the simulated reader on an in-process line, and the automatic
// test's failure paths against a scripted reader on the fake clock.

#include "support/fakeclock.h"
#include "support/recordingmessageboxes.h"
#include "support/scriptedbackend.h"
#include "support/scripteddialogs.h"
#include "support/scriptedreader.h"

#include "link/blockon.h"
#include "link/frame.h"
#include "link/portmap.h"
#include "link/recordfile.h"
#include "link/replycodes.h"
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
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <mutex>

using namespace talvex;
using magnetic::MagneticTab;
using sim::MagneticTrack;
using sim::ReaderModel;
using testing::child;

Q_DECLARE_METATYPE(talvex::sim::ReaderModel)
Q_DECLARE_METATYPE(talvex::sim::MagneticTrack::Fault)

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
        for (auto *t : tab().findChildren<QTimer *>()) {
            if (t->isActive() && !t->objectName().isEmpty())
                names << t->objectName();
        }
        return names;
    }
    // Runs whichever step timer is armed until none is, or the budget is spent.
    // The KVR-523's watch fires again and again while nothing arrives; it gets
    // a millisecond of real time per turn.
    int pump(int maxSteps = 100000, qint64 budgetMs = 120000) {
        const struct {
            const char *name;
            void (MagneticTab::*step)();
        } steps[] = {
            {"ReadTrackTime", &MagneticTab::ReadTrackTime_Timer},
            {"Timera", &MagneticTab::Timera_Timer},
            {"Timer634a", &MagneticTab::Timer634a_Timer},
            {"Timer634b", &MagneticTab::Timer634b_Timer},
            {"Timer523a", &MagneticTab::Timer523a_Timer},
            {"Timer523b", &MagneticTab::Timer523b_Timer},
        };
        QElapsedTimer spent;
        spent.start();
        int done = 0;
        while (done < maxSteps && spent.elapsed() < budgetMs) {
            bool ran = false;
            for (const auto &s : steps) {
                if (timer(s.name)->isActive()) {
                    if (QLatin1String(s.name) == QLatin1String("Timer523a"))
                        QThread::msleep(1);
                    (tab().*s.step)();
                    ran = true;
                    ++done;
                    break;
                }
            }
            if (!ran)
                break;
        }
        return done;
    }
    QStringList log() { return fileLines(link::magAutoLogPath()); }
    void startTest(const QString &target) {
        find<QLineEdit>("LianXuText")->setText(target);
        tab().RCommand_Click();
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
        pump();
    }

    sim::ReaderSim reader;
    bool started = false;
    std::mutex trafficMutex;
    QByteArray fromProgram;
};

// A scripted KVR-690 on the fake clock: each command body gets the reply the
// test sets (nothing at all for a body missing from the table).
struct ScriptedBench : Bench {
    ScriptedBench() {
        replies = {
            {"00", link::buildReaderFrame("P0KVR690 V3.1")},
            {"10", link::buildReaderFrame("P0JJJ")},
            {"/20", link::buildReaderFrame("P20Y")},
            {".2", link::buildReaderFrame("P2Y")},
            {"E007", link::buildReaderFrame("P0Y07Y%A?\x1FY;1?\x1FY;2?")},
            {"20", link::buildReaderFrame("P0Y")},
        };
        reader.replyTo = [this](const QByteArray &command) -> std::optional<QByteArray> {
            const QByteArray body = command.mid(3, command.size() - 5);
            if (!replies.contains(body))
                return std::nullopt;
            return replies.value(body);
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
    void manualReadShowsEachTrackState_data();
    void manualReadShowsEachTrackState();
    void noTrackChosen();
    void binForm();
    void countersAfterMixedReads();
    void saveData();
    void openLog();

    void autoTestReachesItsTarget_data();
    void autoTestReachesItsTarget();
    void quietPollsAreLoggedOnce();
    void stopCountsTheQuietPolls();
    void parityErrorOnTrackTwo();
    void autoTestRefuses();
    void kvr523InitiativeUploading();
    void kvr523EotRearmsTheWatch();

    void readFailuresArmNothing_data();
    void readFailuresArmNothing();
    void preparationAndEjectFailuresStop_data();
    void preparationAndEjectFailuresStop();
};

void TestMagneticTab::readNeedsThePort() {
    Bench bench;
    bench.find<QPushButton>("ReadCardComm")->click();
    bench.tab().RCommand_Click();
    QCOMPARE(bench.boxes.texts(),
             (QStringList{"Comm. Port Setup First", "Comm. Port Setup First"}));
    QCOMPARE(bench.boxes.shown.first().title, QStringLiteral("Caution"));
    QVERIFY(bench.activeTimers().isEmpty());
}

void TestMagneticTab::manualReadShowsEachTrackState_data() {
    using Fault = MagneticTrack::Fault;
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("length");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<QStringList>("counters"); // read, error, rate, STX, ETX, Parity, LRC, BLANK

    QTest::newRow("read") << Fault::None << kTrack2 << " 39Bytes" << 12
                          << QStringList{"1", "0", "0", "0", "0", "0", "0", "0"};
    QTest::newRow("E1") << Fault::NoStart << "Read/Parity Error\nNo start bits (STX)"
                        << "0 Byte" << 9 << QStringList{"1", "1", "100", "1", "0", "0", "0", "0"};
    QTest::newRow("E2") << Fault::NoEnd << "Read/Parity Error\nNo stop bits (ETX)"
                        << "0 Byte" << 9 << QStringList{"1", "1", "100", "0", "1", "0", "0", "0"};
    QTest::newRow("E3") << Fault::Parity << "Read/Parity Error\nByte Parity Error(Parity)"
                        << "0 Byte" << 9 << QStringList{"1", "1", "100", "0", "0", "1", "0", "0"};
    QTest::newRow("E4") << Fault::Lrc << "Read/Parity Error\nParity Bit Error(LRC)"
                        << "0 Byte" << 9 << QStringList{"1", "1", "100", "0", "0", "0", "1", "0"};
    QTest::newRow("E5") << Fault::Blank << "Read/Parity Error\nCard Track Data is Blank"
                        << "0 Byte" << 9 << QStringList{"1", "1", "100", "0", "0", "0", "0", "1"};
    QTest::newRow("O") << Fault::NotRead << "No Read for this Track\nCard Track Data is 0xE0"
                       << "0 Byte" << 9 << QStringList{"0", "0", "0", "0", "0", "0", "0", "0"};
}

void TestMagneticTab::manualReadShowsEachTrackState() {
    QFETCH(MagneticTrack::Fault, fault);
    QFETCH(QString, shown);
    QFETCH(QString, length);
    QFETCH(int, fontSize);
    QFETCH(QStringList, counters);

    SimBench bench(ReaderModel::Kvr690);
    QVERIFY(bench.started);
    sim::MagneticCard card = sim::MagneticCard::testCard();
    card.tracks[1].fault = fault;
    bench.insert(card);
    bench.readTracks();

    QCOMPARE(bench.sent(QByteArray::fromHex("020004453030370377")), 1);
    QCOMPARE(bench.text("Track1Text1"), kTrack1);
    QCOMPARE(bench.text("TrackLen_1"), QStringLiteral(" 59Bytes"));
    QCOMPARE(bench.text("Track2Text1"), shown);
    QCOMPARE(bench.text("TrackLen_2"), length);
    QCOMPARE(bench.find<QPlainTextEdit>("Track2Text1")->font().pointSize(), fontSize);
    QCOMPARE(bench.text("Track3Text1"), kTrack3);
    QCOMPARE(bench.text("TrackLen_3"), QStringLiteral(" 66Bytes"));
    QCOMPARE(bench.texts("MCErrorNumS", 3, 3) + bench.texts("MCErrorNumS11", 5, 5), counters);
    QCOMPARE(bench.text("MCErrorNumS_0"), QStringLiteral("1"));
    QCOMPARE(bench.text("MCErrorNumS_6"), QStringLiteral("1"));
    QVERIFY(bench.boxes.shown.isEmpty());
    QVERIFY(bench.find<QPushButton>("ReadCardComm")->isEnabled());
}

void TestMagneticTab::noTrackChosen() {
    SimBench bench(ReaderModel::Kvr690);
    bench.insert();
    for (const char *box : {"Track1Check", "Track2Check", "Track3Check"})
        bench.find<QCheckBox>(box)->setChecked(false);
    bench.readTracks();
    QCOMPARE(bench.sent(QByteArray::fromHex("020004453030300370")), 1);
    for (const char *box : {"Track1Text1", "Track2Text1", "Track3Text1"})
        QCOMPARE(bench.text(box), QStringLiteral("No Read Operation\nCard Track Data is 0x00"));
    QCOMPARE(bench.text("MCErrorNumS_0"), QStringLiteral("0"));

    // No card: the reply carries no track sections and nothing is shown.
    bench.reader.setCard({});
    bench.find<QCheckBox>("Track1Check")->setChecked(true);
    bench.readTracks();
    QCOMPARE(bench.text("Track1Text1"), QString());
    QCOMPARE(bench.text("TrackLen_1"), QStringLiteral("0 Byte"));
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
    QCOMPARE(fileLines(path), (QStringList{"Track1=" + kTrack1, "Track2=" + kTrack2,
                                           "Track3=Read/Parity Error", "Parity Bit Error(LRC)"}));

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
    QVERIFY(!bench.find<QPushButton>("RCommand")->isEnabled());
    QVERIFY(bench.find<QPushButton>("RsCommand")->isEnabled());
    QVERIFY(!bench.find<QLineEdit>("LianXuText")->isEnabled());
    QVERIFY(!bench.find("FrameComm")->isEnabled());
    QVERIFY(!bench.find<QWidget>("McardFrame1")->isEnabled());
    bench.pump();

    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("3"));
    QCOMPARE(bench.text("ErrNumLabel"), QStringLiteral("0"));
    QCOMPARE(bench.text("Rate"), QStringLiteral("0"));
    QCOMPARE(bench.sent(QByteArray::fromHex("020004453030370377")), 3);
    QCOMPARE(bench.sent(QByteArray::fromHex("02000232300301")), 3);
    QVERIFY(bench.fromProgram.startsWith(preparation + QByteArray::fromHex("02000231300302")));
    QCOMPARE(bench.text("MCErrorNumS_3"), QStringLiteral("3"));
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(bench.find<QPushButton>("RCommand")->isEnabled());
    QVERIFY(!bench.find<QPushButton>("RsCommand")->isEnabled());
    QVERIFY(bench.find<QLineEdit>("LianXuText")->isEnabled());
    QVERIFY(bench.find("FrameComm")->isEnabled());
    QVERIFY(bench.find<QWidget>("McardFrame1")->isEnabled());
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
        bench.tab().Timera_Timer();
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
    const QStringList tail = {
        kEjectLine, "SD: 05", "RD: 02 00 03 50 30 59 03 3B ", "", "",
    };
    QCOMPARE(log.mid(log.size() - tail.size()), tail);
}

void TestMagneticTab::stopCountsTheQuietPolls() {
    SimBench bench(ReaderModel::Kvr634);
    bench.startTest(QStringLiteral("5"));
    for (int poll = 0; poll < 3; ++poll)
        bench.tab().Timera_Timer();
    bench.find<QPushButton>("RsCommand")->click();
    QVERIFY(bench.activeTimers().isEmpty());
    const QStringList log = bench.log();
    QCOMPARE(log.mid(log.size() - 6),
             (QStringList{kStatusQueryLine, "SD: 05", "RD: 02 00 04 50 30 4E 59 03 72 ",
                          "Same  3 times", "", ""}));
}

void TestMagneticTab::parityErrorOnTrackTwo() {
    SimBench bench(ReaderModel::Kvr690);
    sim::MagneticCard card = sim::MagneticCard::testCard();
    card.tracks[1].fault = MagneticTrack::Fault::Parity;
    bench.insert(card);
    bench.startTest(QStringLiteral("1"));
    bench.pump();
    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("1"));
    QCOMPARE(bench.text("ErrNumLabel"), QStringLiteral("1"));
    QCOMPARE(bench.text("Rate"), QStringLiteral("100"));
    QCOMPARE(bench.texts("MCErrorNumS11", 0, 15).join(QString()),
             QStringLiteral("000000010000000"));
    QCOMPARE(bench.text("MCErrorNumS_4"), QStringLiteral("1"));
    QCOMPARE(bench.text("MCErrorNumS_1"), QStringLiteral("0"));
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
    QCOMPARE(bench.window.currentModel(), QStringLiteral("KVR-523"));
    bench.find<QLineEdit>("LianXuText")->setText(QStringLiteral("2"));
    bench.dialogs.steps << chooseReadWhileInserting << chooseReadWhileInserting;
    bench.find<QCheckBox>("ReadCardType523")->setChecked(true);

    // Reading method: ASCII, uploading on, all tracks, read while inserting.
    QCOMPARE(bench.sent(QByteArray::fromHex("020006463030303730"
                                            "0376")),
             1);
    QVERIFY(bench.reader.initiativeUploading());
    QVERIFY(!bench.find<QPushButton>("ReadCardComm")->isEnabled());
    QVERIFY(!bench.find<QCheckBox>("Track1Check")->isEnabled());
    QCOMPARE(bench.activeTimers(), QStringList{"Timer523a"});
    QCOMPARE(bench.timer("Timer523a")->interval(), 1);

    for (int swipe = 1; swipe <= 2; ++swipe) {
        bench.reader.swipeCard();
        QElapsedTimer wait;
        wait.start();
        while (bench.text("ReadNumLabel") != QString::number(swipe) && wait.elapsed() < 5000)
            bench.pump(1);
        QCOMPARE(bench.text("ReadNumLabel"), QString::number(swipe));
        QCOMPARE(bench.text("Track2Text1"), kTrack2);
    }
    const QStringList log = bench.log();
    QCOMPARE(log.count(QStringLiteral("RD: 05 ")), 2);
    QCOMPARE(log.count(QStringLiteral("SD: 6")), 2);

    // The target is reached at the next look: the test stops and tells the
    // reader to wait for the read command again.
    bench.pump(1);
    // Detection, the start and the stop each asked for the reading method.
    QCOMPARE(bench.dialogs.classes.size(), 3);
    QCOMPARE(bench.sent(QByteArray::fromHex("020006463030313730"
                                            "0377")),
             1);
    QVERIFY(!bench.reader.initiativeUploading());
    QVERIFY(!bench.find<QCheckBox>("ReadCardType523")->isChecked());
    QVERIFY(bench.find<QPushButton>("ReadCardComm")->isEnabled());
    // Commanded reading again: the test frame waits for the box to be checked.
    QVERIFY(!bench.find("McardFrame2")->isEnabled());
    QVERIFY(bench.find<QPushButton>("RCommand")->isEnabledTo(bench.find("McardFrame2")));
    QVERIFY(!bench.tab().autoTestRunning());
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(bench.boxes.shown.isEmpty());
}

void TestMagneticTab::kvr523EotRearmsTheWatch() {
    SimBench bench(ReaderModel::Kvr523);
    bench.dialogs.steps << chooseReadWhileInserting;
    bench.find<QCheckBox>("ReadCardType523")->setChecked(true);
    QVERIFY(bench.reader.initiativeUploading());
    // A swipe nobody answers: the reader asks three times and gives up.
    bench.reader.swipeCard();
    QThread::msleep(3300);
    bench.pump(1);
    QCOMPARE(bench.log().last(2).first(), QStringLiteral("RD: 05 05 05 04 "));
    QCOMPARE(bench.timer("Timer523a")->interval(), 100);
    QVERIFY(bench.timer("Timer523a")->isActive());
    QCOMPARE(bench.text("ReadNumLabel"), QStringLiteral("0"));

    bench.dialogs.steps << chooseReadWhileInserting;
    bench.find<QPushButton>("RsCommand")->click();
    QVERIFY(!bench.reader.initiativeUploading());
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
    QCOMPARE(bench.window.currentModel(), QStringLiteral("KVR-690"));
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

    const QString comm = link::text::communicationError();
    QTest::newRow("entry control unanswered")
        << QByteArray("/20") << std::optional<QByteArray>() << QStringList{comm} << "Caution"
        << "0";
    QTest::newRow("stop position refused")
        << QByteArray(".2") << std::optional<QByteArray>(link::buildReaderFrame("P2N"))
        << QStringList{"Card stop position setting failed"} << "Auto test"
        << "0";
    QTest::newRow("stop position negative")
        << QByteArray(".2")
        << std::optional<QByteArray>(link::buildReaderFrame(QByteArray("N2\x01", 3)))
        << QStringList{"Parameter Wrong"} << "Error"
        << "0";
    QTest::newRow("eject N") << QByteArray("20")
                             << std::optional<QByteArray>(link::buildReaderFrame("P0N"))
                             << QStringList{"Eject Card Error"} << "Eject Card"
                             << "1";
    QTest::newRow("eject E") << QByteArray("20")
                             << std::optional<QByteArray>(link::buildReaderFrame("P0E"))
                             << QStringList{"No Card In The Reader"} << "Eject Card"
                             << "1";
    QTest::newRow("eject W") << QByteArray("20")
                             << std::optional<QByteArray>(link::buildReaderFrame("P0W"))
                             << QStringList{"The card is not on the IC card operation position"}
                             << "Eject Card"
                             << "1";
    QTest::newRow("eject unanswered")
        << QByteArray("20") << std::optional<QByteArray>() << QStringList{comm} << "Caution"
        << "1";
}

void TestMagneticTab::preparationAndEjectFailuresStop() {
    QFETCH(QByteArray, body);
    QFETCH(std::optional<QByteArray>, reply);
    QFETCH(QStringList, boxes);
    QFETCH(QString, title);
    QFETCH(QString, reads);

    ScriptedBench bench;
    if (reply)
        bench.replies.insert(body, *reply);
    else
        bench.replies.remove(body);
    bench.startTest(QStringLiteral("3"));
    bench.pump();

    QCOMPARE(bench.boxes.texts(), boxes);
    QCOMPARE(bench.boxes.shown.last().title, title);
    QCOMPARE(bench.text("ReadNumLabel"), reads);
    QVERIFY(bench.activeTimers().isEmpty());
    QVERIFY(!bench.tab().autoTestRunning());
    QVERIFY(bench.find<QPushButton>("RCommand")->isEnabled());
    QVERIFY(!bench.find<QPushButton>("RsCommand")->isEnabled());
    QVERIFY(bench.find("FrameComm")->isEnabled());
}

QTEST_MAIN(TestMagneticTab)
#include "test_magnetictab.moc"
