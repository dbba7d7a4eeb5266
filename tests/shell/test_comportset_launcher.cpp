// The launcher and the dispenser window: one choice per run, and the program
// ends with the window that was chosen.

#include "dispenser/fakamain.h"
#include "shell/aboutdialog.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

using namespace talvex;

class TestLauncher : public QObject {
    Q_OBJECT

private slots:
    void dispenserReplacesTheLauncher();
    void dispenserWindowExitEndsTheRun();
};

void TestLauncher::dispenserReplacesTheLauncher() {
    shell::AboutDialog launcher;
    QCOMPARE(launcher.windowTitle(), QStringLiteral("Talvex5.0_EN"));
    launcher.show();
    auto *reader = launcher.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *dispenser = launcher.findChild<QPushButton *>(QStringLiteral("Command2"));
    QCOMPARE(reader->text(), QStringLiteral("Reader"));
    QCOMPARE(dispenser->text(), QStringLiteral("Dispenser"));

    dispenser->click();
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
    QTimer::singleShot(0, &window, [&window] {
        window.findChild<QPushButton *>(QStringLiteral("EXIT"))->click();
    });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
    guard.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestLauncher)
#include "test_comportset_launcher.moc"
