// Two devices at once, as at a bench: the reader window runs its magnetic
// automatic test while the dispenser window polls a KVR-820, both over
// pseudo-terminals in real time. Neither device's waits may hold the other's
// commands, and a dispenser that goes away leaves the reader window usable.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "support/settle.h"

#include "dispenser/fakamain.h"
#include "dispenser/kvr820panel.h"
#include "link/blockon.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "magnetic/magnetictab.h"
#include "shell/readermain.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <mutex>

using namespace talvex;
using testing::child;

namespace {

constexpr int kReaderPort = 3;
constexpr int kDispenserPort = 2;

// What reached a simulated device from the program, kept across threads.
class Received {
public:
    void add(const QByteArray &bytes) {
        std::lock_guard lock(m_mutex);
        m_bytes += bytes;
    }
    int count(const QByteArray &frame) {
        std::lock_guard lock(m_mutex);
        return int(m_bytes.count(frame));
    }

private:
    std::mutex m_mutex;
    QByteArray m_bytes;
};

const QByteArray kTrackRead = QByteArray::fromHex("02000232300301");  // "20": read the tracks
const QByteArray kStatusPoll = QByteArray::fromHex("0241500310");     // KVR-820 "AP"

} // namespace

class TestTwoDevices : public QObject {
    Q_OBJECT

private slots:
    void magneticTestAndDispenserPollKeepTheirPace();
};

void TestTwoDevices::magneticTestAndDispenserPollKeepTheirPace() {
    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;

    sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600, sim::Transport::Pty);
    sim::DispenserSim kvr820(sim::DispenserModel::Kvr820);
    QString error;
    if (!reader.start(&error) || !kvr820.start(&error))
        QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + error));
    Received atReader;
    Received atDispenser;
    reader.setTrafficListener([&](sim::Direction d, const QByteArray &bytes) {
        if (d == sim::Direction::FromProgram)
            atReader.add(bytes);
    });
    kvr820.setTrafficListener([&](sim::Direction d, const QByteArray &bytes) {
        if (d == sim::Direction::FromProgram)
            atDispenser.add(bytes);
    });
    reader.mapToPort(kReaderPort);
    kvr820.mapToPort(kDispenserPort);
    reader.setMoveTimeMs(0);
    sim::SimCard card;
    card.kind = sim::CardKind::Magnetic;
    card.magnetic = sim::MagneticCard::testCard();
    reader.setCard(card);
    reader.setFeeder(true, 0);

    // The dispenser window set up on its port: its status poll runs from now on.
    dispenser::Fakamain dispenserWindow;
    dialogs.steps.append([](QDialog &d) {
        child<QComboBox>(d, "PortCombo")->setCurrentText(QStringLiteral("COM%1").arg(kDispenserPort));
        child<QPushButton>(d, "Command1")->click();
        testing::settle(); // the detection that "OK" started
        return d.result();
    });
    dispenserWindow.kvr820()->KVR820Setup_Click();
    QVERIFY(dispenserWindow.kvr820()->port().PortOpen());

    shell::ReaderMain readerWindow;
    readerWindow.readerPort().setCommPort(kReaderPort);
    readerWindow.readerPort().setPortOpen(true);
    readerWindow.setPortSetUp(true);
    link::blockOn(readerWindow.DetectReaderModel());
    QCOMPARE(readerWindow.currentModel(), QStringLiteral("KVR-690"));

    // Eight automatic reads while the dispenser is polled.
    magnetic::MagneticTab &tab = *readerWindow.magneticTab();
    child<QLineEdit>(tab, "LianXuText")->setText(QStringLiteral("8"));
    const int pollsBefore = atDispenser.count(kStatusPoll);
    child<QPushButton>(tab, "RCommand")->click();
    QVERIFY(tab.autoTestRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!tab.autoTestRunning(), 60000);
    const int pollsDuring = atDispenser.count(kStatusPoll) - pollsBefore;

    QCOMPARE(child<QLabel>(tab, "ReadNumLabel")->text(), QStringLiteral("8"));
    QCOMPARE(atReader.count(kTrackRead), 8);
    // The poll went on beside the reads, neither queued behind them nor
    // holding them up (it waits 200 ms for each status reply).
    QVERIFY2(pollsDuring >= 2, qPrintable(QString::number(pollsDuring)));
    QVERIFY(boxes.shown.isEmpty());

    // The dispenser is unplugged while its port stays open: its poll now waits
    // out 5 s at a time, and the reader's "Status" still answers at once.
    QVERIFY(testing::settle());
    kvr820.stop();
    QTest::qWait(300);
    const int statusBefore = atReader.count(QByteArray::fromHex("02000231300302"));
    child<QPushButton>(readerWindow, "IRStatus")->click();
    QTRY_COMPARE_WITH_TIMEOUT(atReader.count(QByteArray::fromHex("02000231300302")),
                              statusBefore + 1, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!boxes.shown.isEmpty(), 2000);
    QCOMPARE(boxes.shown.first().title, QStringLiteral("Status of  Reader"));

    dispenserWindow.kvr820()->KVR820Close_Click();
    readerWindow.readerPort().setPortOpen(false);
    link::portmap::unmap(kReaderPort);
    link::portmap::unmap(kDispenserPort);
}

QTEST_MAIN(TestTwoDevices)
#include "test_twodevices.moc"
