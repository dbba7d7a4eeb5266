// The launcher and what a new user does first: one choice per run, the reader
// set up and detected, a command typed, the port found by scanning, closed, and
// the program ended with the window that was chosen.

#include "dispenser/fakamain.h"
#include "link/portmap.h"
#include "shell/aboutdialog.h"
#include "shell/readermain.h"
#include "sim/readersim.h"
#include "support/settle.h"
#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"
#include "ui/seams.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace talvex;

class TestLauncher : public QObject {
    Q_OBJECT

private slots:
    void readerWalkthrough();
    void dispenserReplacesTheLauncher();
    void dispenserWindowExitEndsTheRun();
};

namespace {

QPushButton *button(QWidget &parent, const char *name) {
    return testing::child<QPushButton>(parent, name);
}

// Runs the event loop until the program quits; 7 when it has not within 10 s.
int runToTheEnd() {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
    guard.start(10000);
    return QCoreApplication::exec();
}

} // namespace

void TestLauncher::readerWalkthrough() {
    sim::ReaderSim reader(sim::ReaderModel::Kvr690);
    QString error;
    QVERIFY2(reader.start(&error), qPrintable(error));
    link::portmap::mapPath(1, reader.slavePath());
    for (int port = 2; port <= 16; ++port)
        link::portmap::mapPath(port, QString()); // nothing else on this bench

    testing::RecordingMessageBoxes boxes;
    testing::ScriptedDialogs dialogs;
    QString scanResult;
    // "Setup Comm": COM1 and 9600 bits/s are the dialog's own defaults.
    dialogs.steps.append([](QDialog &dialog) {
        button(dialog, "Command1")->click();
        testing::settle();
        return dialog.result();
    });
    // "Setup Comm" again: unfold, scan, take what was found.
    dialogs.steps.append([&scanResult](QDialog &dialog) {
        QTest::mouseClick(dialog.findChild<QLabel *>(QStringLiteral("AutoLabel")), Qt::LeftButton);
        button(dialog, "Command3")->click();
        testing::settle();
        scanResult = dialog.findChild<QLabel *>(QStringLiteral("Label1"))->text();
        button(dialog, "Command1")->click();
        testing::settle();
        return dialog.result();
    });

    auto *launcher = new shell::AboutDialog;
    launcher->setAttribute(Qt::WA_DeleteOnClose);
    launcher->show();
    button(*launcher, "Command1")->click();
    QPointer<shell::ReaderMain> window =
        qobject_cast<shell::ReaderMain *>(launcher->deviceWindow());
    QVERIFY(window);

    button(*window, "IROpencom")->click();
    QVERIFY(testing::settle());
    QVERIFY(window->portSetUp());
    QCOMPARE(window->currentModel(), QStringLiteral("KVR-690"));
    QCOMPARE(button(*window, "IRPOP")->text(), QStringLiteral("Move Card"));
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("TypeImage_3"))->isHidden());
    // The probe's status query stays in the log ahead of the detection's reset.
    const qsizetype probe =
        window->trafficLog().indexOf(QStringLiteral("SD: 02 00 02 31 30 03 02"));
    const qsizetype reset =
        window->trafficLog().indexOf(QStringLiteral("SD: 02 00 02 30 30 03 03"));
    QVERIFY2(probe >= 0 && reset > probe, qPrintable(window->trafficLog()));

    button(*window, "IROpencom")->click();
    QCOMPARE(scanResult, QStringLiteral("Found KVR Reader AT COM1 Baut Rate 9600"));
    QVERIFY(window->portSetUp());

    button(*window, "IRCLOSECOM")->click();
    QVERIFY(!window->portSetUp());
    QVERIFY(window->currentModel().isEmpty());
    QCOMPARE(boxes.texts(), QStringList());

    QTimer::singleShot(0, window, [window] { button(*window, "EXITGRM")->click(); });
    QCOMPARE(runToTheEnd(), 0);
    delete window.data();
    link::portmap::clear();
}

void TestLauncher::dispenserReplacesTheLauncher() {
    shell::AboutDialog launcher;
    QCOMPARE(launcher.windowTitle(), QStringLiteral("Talvex5.0_EN"));
    launcher.show();
    QCOMPARE(button(launcher, "Command1")->text(), QStringLiteral("Reader"));
    QCOMPARE(button(launcher, "Command2")->text(), QStringLiteral("Dispenser"));

    button(launcher, "Command2")->click();
    QVERIFY(!launcher.isVisible());
    auto *window = qobject_cast<dispenser::Fakamain *>(launcher.deviceWindow());
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    delete window;
    QVERIFY(launcher.deviceWindow() == nullptr);
}

void TestLauncher::dispenserWindowExitEndsTheRun() {
    dispenser::Fakamain window;
    auto *tabs = window.findChild<QTabWidget *>();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("KVR-820"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("KVR-840"));
    window.show();

    // quit() only takes effect inside the event loop: run one and see it end.
    QTimer::singleShot(0, &window, [&window] { button(window, "EXIT")->click(); });
    QCOMPARE(runToTheEnd(), 0);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestLauncher)
#include "test_launcher.moc"
