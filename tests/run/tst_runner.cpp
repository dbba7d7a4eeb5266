// talvex-run's runner against the simulated reader: what a step reports when
// the reader refuses, stays silent or goes away, and the report it leaves.

#include "run/junitreport.h"
#include "run/runner.h"
#include "run/script.h"

#include "link/blockon.h"
#include "link/portmap.h"
#include "sim/readersim.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace talvex;
using namespace talvex::run;

namespace {

constexpr int kPort = 9;

Script script(const QByteArray &text) {
    auto parsed = parseScript(text, QStringLiteral("c.tvx"), DeviceKind::Reader);
    if (auto *e = std::get_if<ScriptError>(&parsed))
        qFatal("%s", qPrintable(e->text()));
    return std::get<Script>(std::move(parsed));
}

// Starts the simulated reader behind kPort, where the runner looks for it.
bool plugIn(sim::ReaderSim &reader) {
    if (!reader.start())
        return false;
    reader.mapToPort(kPort);
    return true;
}

} // namespace

class TestRunner : public QObject {
    Q_OBJECT

private slots:
    void faults_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("steps"); // records left by the run
        QTest::addColumn<int>("failedLine");
        QTest::addColumn<QString>("failure");

        // The negative reply's box is the step's result, not a window.
        QTest::newRow("negative reply")
            << int(sim::Fault::Kind::NegativeReply)
            << QByteArray("open\nstatus\nexpect exchange = negative\n"
                          "expect box = \"Error: Command Can Not Be Executed\"\nstatus\n"
                          "expect status = no-card\n")
            << kAllHeld << 6 << 0 << QString();
        QTest::newRow("silence")
            << int(sim::Fault::Kind::Silence)
            << QByteArray("open\nstatus\nexpect status = no-card\n") << kCheckFailed << 3 << 2
            << QStringLiteral("no answer (Caution: Communication Error / Possible causes: / "
                              "1)Communication setup error / 2)Wrong model selected / "
                              "3)No connected / 4)No power on unit)");
        QTest::newRow("hang-up") << int(sim::Fault::Kind::HangUp)
                                 << QByteArray("open\nrepeat 3 {\n  status\n}\nclose\n")
                                 << kCheckFailed << 2 << 3
                                 << QStringLiteral("the device went away");
        QTest::newRow("unexpected reply")
            << int(sim::Fault::Kind::None)
            << QByteArray("open\nstatus\nexpect status = card-at-ic\nexpect entry ~ \"^all\"\n")
            << kCheckFailed << 4 << 3
            << QStringLiteral("expected status = \"card-at-ic\", came \"no-card\"");
    }
    void faults() {
        QFETCH(int, fault);
        QFETCH(QByteArray, text);
        QFETCH(int, status);
        QFETCH(int, steps);
        QFETCH(int, failedLine);
        QFETCH(QString, failure);

        sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600, sim::Transport::Loopback);
        QVERIFY(plugIn(reader));
        sim::Fault f = sim::Fault::of(sim::Fault::Kind(fault));
        if (f.kind == sim::Fault::Kind::NegativeReply)
            f = sim::Fault::negative(0x02);
        reader.injectFault(f);

        const Script s = script("model KVR-690\n" + text);
        Runner runner(s, {.port = kPort});
        QCOMPARE(link::blockOn(runner.run()), status);
        QCOMPARE(int(runner.records().size()), steps + 1);
        const auto failed = std::find_if(runner.records().cbegin(), runner.records().cend(),
                                         [](const StepRecord &r) { return !r.passed; });
        if (failedLine == 0) {
            QVERIFY(failed == runner.records().cend());
            return;
        }
        QVERIFY(failed != runner.records().cend());
        QCOMPARE(failed->line, failedLine + 1); // the model line comes first
        QVERIFY2(failed->failure.startsWith(failure), qPrintable(failed->failure));

        // The report names the failed step and says what came.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.xml"));
        QVERIFY(
            writeJUnitReport(path, QStringLiteral("c.tvx"), runner.records(), runner.stopReason()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(file.readAll());
        // The silent reader's status and the expectation after it both fail.
        const int failures = fault == int(sim::Fault::Kind::Silence) ? 2 : 1;
        QVERIFY(xml.contains(
            QStringLiteral("tests=\"%1\" failures=\"%2\"").arg(steps + 1).arg(failures)));
        QVERIFY2(xml.contains(QStringLiteral("<failure message=\"c.tvx:%1: %2")
                                  .arg(failedLine + 1)
                                  .arg(failure.toHtmlEscaped())),
                 qPrintable(xml));
    }

    // An operator's Ctrl-C ends the wait in progress at once; the run reports
    // that step and nothing after it.
    void interrupted() {
        sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600, sim::Transport::Loopback);
        QVERIFY(plugIn(reader));
        const Script s = script("open\nrepeat 2 {\n  wait 5s\n}\nstatus\n");
        Runner runner(s, {.port = kPort});
        QTimer::singleShot(200, [&runner] { runner.interrupt(QStringLiteral("stopped by hand")); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link::blockOn(runner.run()), kCheckFailed);
        QVERIFY(clock.elapsed() < 4000);
        QCOMPARE(runner.records().size(), size_t(2));
        const StepRecord &last = runner.records().back();
        QCOMPARE(last.line, 3);
        QCOMPARE(last.passed, false);
        QCOMPARE(last.failure, QStringLiteral("stopped by hand"));
        QCOMPARE(runner.stopReason(), QStringLiteral("stopped by hand"));
    }

    void decodedSteps() {
        sim::ReaderSim reader(sim::ReaderModel::Kvr690, 9600, sim::Transport::Loopback);
        sim::SimCard card;
        card.kind = sim::CardKind::Magnetic;
        card.magnetic = sim::MagneticCard::testCard();
        reader.setCard(card);
        QVERIFY(plugIn(reader));
        const Script s = script("open\ndetect\nread-tracks 2\nsend 31 30\n");
        Runner runner(s, {.port = kPort});
        QCOMPARE(link::blockOn(runner.run()), kAllHeld);
        const auto &r = runner.records();
        QCOMPARE(r.size(), size_t(4));
        QCOMPARE(r[1].output, QStringLiteral("exchange=ok  model=KVR-690  text=KVR690 V3.1"));
        QVERIFY2(r[2].output.contains(QStringLiteral(
                     "track1=none  track2=ok  track2-data=;4000001234567899=28121010000000000000?  "
                     "track3=none")),
                 qPrintable(r[2].output));
        QCOMPARE(r[3].output, QStringLiteral("exchange=ok  reply=P0JJJ"));
    }
};

QTEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
