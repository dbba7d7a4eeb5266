// The wait cursor while the program blocks in an exchange or a scan for more
// than 100 ms, on the fake clock: the cursor is sampled whenever the program
// reads the clock, so the test sees what the screen would show during the
// wait although no event loop runs.

#include "dispenser/virtualdispensers.h"

#include "support/fakeclock.h"
#include "support/scriptedbackend.h"
#include "support/scriptedreader.h"

#include "link/portmap.h"
#include "magnetic/magnetictab.h"
#include "shell/comportset.h"
#include "shell/readermain.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

using namespace talvex;
using testing::child;
using testing::FakeClock;
using testing::ScriptedBackend;
using testing::ScriptedReader;

namespace {

bool waitCursorShown() {
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// The fake clock, noting the first moment the program read it with the wait
// cursor up.
class WatchingClock final : public link::Clock {
public:
    explicit WatchingClock(FakeClock &time) : m_time(time) {}
    qint64 nowMs() const override {
        if (firstBusyMs < 0 && waitCursorShown())
            firstBusyMs = m_time.nowMs();
        return m_time.nowMs();
    }
    void sleepMs(qint64 ms) override { m_time.sleepMs(ms); }

    mutable qint64 firstBusyMs = -1;

private:
    FakeClock &m_time;
};

// Message boxes, and whether any came up under the wait cursor.
struct WatchingBoxes final : link::MessageBoxes {
    WatchingBoxes() { link::setMessageBoxes(this); }
    ~WatchingBoxes() override { link::setMessageBoxes(nullptr); }
    link::MsgAnswer show(const link::MessageRequest &request) override {
        texts << request.text;
        underWaitCursor = underWaitCursor || waitCursorShown();
        return link::MsgAnswer::Ok;
    }
    QStringList texts;
    bool underWaitCursor = false;
};

enum class Scene {
    ReaderQuick,
    ReaderSlowAck,
    ReaderSilent,
    ReaderSlowNegative,
    MagneticAutoRead,
    Scan,
    Kvr820Status,
    Kvr820Poll,
    Kvr840Dispense,
};

constexpr int kReaderPort = 1;

void mapScripted(int port, FakeClock &clock, const ScriptedReader &reader) {
    link::portmap::mapBackend(port, [&clock, reader] {
        auto line = std::make_unique<ScriptedBackend>(clock);
        reader.install(*line);
        return std::unique_ptr<link::SerialBackend>(std::move(line));
    });
}

} // namespace

Q_DECLARE_METATYPE(Scene)

class TestBusyCursor : public QObject {
    Q_OBJECT
private slots:
    void waitCursorOnlyDuringLongWaits_data();
    void waitCursorOnlyDuringLongWaits();
};

void TestBusyCursor::waitCursorOnlyDuringLongWaits_data() {
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("boxes");
    QTest::newRow("reader answers within 60 ms") << Scene::ReaderQuick << false << 0;
    QTest::newRow("reader ACK after 500 ms") << Scene::ReaderSlowAck << true << 0;
    QTest::newRow("reader silent for 3 s") << Scene::ReaderSilent << true << 1;
    QTest::newRow("negative reply after 400 ms") << Scene::ReaderSlowNegative << true << 1;
    QTest::newRow("automatic magnetic read, ACK after 500 ms")
        << Scene::MagneticAutoRead << true << 0;
    QTest::newRow("scan of a silent COM1") << Scene::Scan << true << 0;
    QTest::newRow("KVR-820 Status(RF), 500 ms for the reply") << Scene::Kvr820Status << true << 0;
    QTest::newRow("KVR-820 status poll") << Scene::Kvr820Poll << false << 0;
    QTest::newRow("KVR-840 Dispense(DC), 250 ms for the answer")
        << Scene::Kvr840Dispense << true << 0;
}

void TestBusyCursor::waitCursorOnlyDuringLongWaits() {
    QFETCH(Scene, scene);
    QFETCH(bool, busy);
    QFETCH(int, boxes);

    // The dispensers bring their own fake clock; the readers use this one.
    std::unique_ptr<testing::VirtualDispensers> dispensers;
    FakeClock readerTime;
    const bool dispenser = scene >= Scene::Kvr820Status;
    if (dispenser) {
        dispensers = std::make_unique<testing::VirtualDispensers>();
        QVERIFY(dispensers->setUp820());
        QVERIFY(dispensers->setUp840());
    }
    FakeClock &time = dispenser ? dispensers->clock : readerTime;
    WatchingClock watch(time);
    link::ScopedClock watched(watch);
    WatchingBoxes shown;

    ScriptedReader reader;
    if (scene == Scene::ReaderSlowAck || scene == Scene::MagneticAutoRead)
        reader.answerAfter = 500;
    if (scene == Scene::ReaderSilent || scene == Scene::Scan)
        reader.answer.clear();
    if (scene == Scene::ReaderSlowNegative) {
        reader.headerAfter = 400;
        reader.setReply(link::buildReaderFrame(QByteArray("N0\x01", 3)));
    }
    mapScripted(kReaderPort, readerTime, reader);
    for (int port = 2; port <= 16; ++port)
        link::portmap::mapPath(port, QString());

    // A window timer due at once must not fire while the program waits.
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });

    const qint64 startMs = time.nowMs();
    if (scene == Scene::Scan) {
        link::SerialComm port;
        link::ReaderLinkState state(port);
        shell::comportset dialog(state);
        child<QPushButton>(dialog, "Command3")->click();
    } else if (!dispenser) {
        shell::ReaderMain window;
        window.readerPort().setCommPort(kReaderPort);
        window.readerPort().setPortOpen(true);
        window.setPortSetUp(true);
        child<QLineEdit>(window, "CommandStr")->setText(QStringLiteral("31 30"));
        if (scene == Scene::MagneticAutoRead)
            window.magneticTab()->Timer634a_Timer();
        else
            window.ExuteCommandBtn_Click();
    } else if (scene == Scene::Kvr820Status) {
        dispensers->k820().KVR820RF_Click();
    } else if (scene == Scene::Kvr820Poll) {
        dispensers->k820().Timer820_Timer();
    } else {
        dispensers->k840().KVR840DC_Click();
    }

    QCOMPARE(watch.firstBusyMs >= 0, busy);
    if (busy)
        QVERIFY2(watch.firstBusyMs - startMs >= 100,
                 qPrintable(QString::number(watch.firstBusyMs)));
    QVERIFY(time.nowMs() > startMs);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QCOMPARE(int(shown.texts.size()), boxes);
    QVERIFY(!shown.underWaitCursor);
    QVERIFY(!timerFired);
    QCoreApplication::processEvents();
    QVERIFY(timerFired);
    for (int port = 1; port <= 16; ++port)
        link::portmap::unmap(port);
}

QTEST_MAIN(TestBusyCursor)
#include "test_busycursor.moc"
