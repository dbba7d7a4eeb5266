// Automatic dispense and capture cycles of the dispenser window against the
// simulated machines, in fake time.

#include "virtualdispensers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

using namespace talvex;
using talvex::testing::child;
using talvex::testing::commandTexts;
using talvex::testing::VirtualDispensers;

namespace {

QString text(const QWidget &parent, const char *label) {
    return child<QLabel>(parent, label)->text();
}

// Times of the frames carrying text, relative to the first of them.
QList<qint64> timesOf(const QList<testing::Written> &writes, const QByteArray &text) {
    QList<qint64> times;
    for (const auto &w : writes) {
        if (w.bytes.size() > 3 && w.bytes.mid(1, w.bytes.size() - 3) == text)
            times << w.atMs;
    }
    return times;
}

} // namespace

class TestDispenserCycles : public QObject {
    Q_OBJECT
private slots:
    void outOfDoorQuantityOneDispensesOnce();
    void doorAndCaptureQuantityTwo();
    void kvr840RunsToItsQuantity();
    void jamStopsTheRunAtTheFirstError_data();
    void jamStopsTheRunAtTheFirstError();
};

void TestDispenserCycles::outOfDoorQuantityOneDispensesOnce() {
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 400});
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    child<QLineEdit>(p, "Text8201")->setText(QStringLiteral("1"));
    child<QRadioButton>(p, "Option8202_0")->setChecked(true);
    p.Autofaka820_Click();
    QVERIFY(child<QPushButton>(p, "Autostop820")->isEnabled());
    v.runFor(20000);

    QCOMPARE(commandTexts(v.writes820), QStringList({"FC0"}));
    QCOMPARE(p.autoCount(), 1);
    QCOMPARE(text(p, "Label8205"), QStringLiteral("1"));
    QCOMPARE(text(p, "Label8206"), QStringLiteral("1"));
    // The next-card timer was started first; the stop took it down.
    QVERIFY(!child<QPushButton>(p, "Autostop820")->isEnabled());
    QVERIFY(child<QPushButton>(p, "Autofaka820")->isEnabled());
    QCOMPARE(v.dev820.stackerCards(), 299);
}

void TestDispenserCycles::doorAndCaptureQuantityTwo() {
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 400, .captureMs = 300});
    QVERIFY(v.setUp820());
    auto &p = v.k820();
    child<QLineEdit>(p, "Text8201")->setText(QStringLiteral("2"));
    child<QRadioButton>(p, "Option8202_1")->setChecked(true);
    p.Autofaka820_Click();
    v.runFor(60000);

    // Each capture asks first where the card is; so does the stop, which
    // finds the door empty.
    QCOMPARE(commandTexts(v.writes820), QStringList({"DC", "RF", "CP", "DC", "RF", "CP", "RF"}));
    const QList<qint64> dc = timesOf(v.writes820, "DC"), cp = timesOf(v.writes820, "CP");
    QCOMPARE(dc.size(), 2);
    QCOMPARE(cp.size(), 2);
    // A capture 3 s after the success status, the next card 3 s after the
    // capture's success status: each gap holds a 3 s step plus the motion.
    QVERIFY(cp[0] - dc[0] >= 3000 + 400);
    QVERIFY(dc[1] - cp[0] >= 3000 + 300);
    QCOMPARE(text(p, "Label8205"), QStringLiteral("2"));
    QCOMPARE(text(p, "Label8206"), QStringLiteral("2"));
    QCOMPARE(text(p, "Label82012"), QStringLiteral("2"));
    QCOMPARE(text(p, "Label82011"), QStringLiteral("2"));
    QCOMPARE(v.dev820.binCards(), 2);
    QVERIFY(!child<QPushButton>(p, "Autostop820")->isEnabled());
}

void TestDispenserCycles::kvr840RunsToItsQuantity() {
    VirtualDispensers v;
    v.dev840.setMechanics({.dispenseMs = 300, .holdAtMouth = false});
    QVERIFY(v.setUp840());
    auto &p = v.k840();
    child<QCheckBox>(p, "Check8401")->click();
    child<QLineEdit>(p, "Autonumber840")->setText(QStringLiteral("3"));
    p.AutoFaka840_Click();
    v.runFor(30000);

    QCOMPARE(commandTexts(v.writes840), QStringList({"15DC", "15DC", "15DC"}));
    QCOMPARE(p.autoCount(), 3);
    QCOMPARE(text(p, "Label8405"), QStringLiteral("3"));
    QCOMPARE(text(p, "Label8406"), QStringLiteral("3"));
    QCOMPARE(text(p, "Label8407"), QStringLiteral("0"));
    QCOMPARE(text(p, "Label8408"), QStringLiteral("0"));
    const QList<qint64> dc = timesOf(v.writes840, "15DC");
    QVERIFY(dc[1] - dc[0] >= 2000 + 300);
    QVERIFY(!child<QPushButton>(p, "AutoStop840")->isEnabled());
}

void TestDispenserCycles::jamStopsTheRunAtTheFirstError_data() {
    QTest::addColumn<bool>("is820");
    QTest::newRow("KVR-820") << true;
    QTest::newRow("KVR-840") << false;
}

// Four cards, then a jam on the fifth: 1 error in 5 commands.
void TestDispenserCycles::jamStopsTheRunAtTheFirstError() {
    QFETCH(bool, is820);
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 300});
    v.dev840.setMechanics({.dispenseMs = 300, .holdAtMouth = false});
    dispenser::DispenserPanel *panel = nullptr;
    if (is820) {
        QVERIFY(v.setUp820());
        panel = &v.k820();
        child<QLineEdit>(*panel, "Text8201")->setText(QStringLiteral("10"));
        v.k820().Autofaka820_Click();
    } else {
        QVERIFY(v.setUp840());
        panel = &v.k840();
        child<QCheckBox>(*panel, "Check8401")->click();
        child<QLineEdit>(*panel, "Autonumber840")->setText(QStringLiteral("10"));
        v.k840().AutoFaka840_Click();
    }
    v.runFor(600000, [&] { return panel->autoCount() == 4; });
    is820 ? v.dev820.injectFault(sim::DispenserFault::Jam)
          : v.dev840.injectFault(sim::DispenserFault::Jam);
    v.runFor(60000);

    QCOMPARE(panel->autoCount(), 4);
    const QString counter = is820 ? QStringLiteral("Label820") : QStringLiteral("Label840");
    QCOMPARE(text(*panel, qPrintable(counter + u'5')), QStringLiteral("5"));
    QCOMPARE(text(*panel, qPrintable(counter + u'6')), QStringLiteral("4"));
    QCOMPARE(text(*panel, qPrintable(counter + u'7')), QStringLiteral("1"));
    QCOMPARE(text(*panel, qPrintable(counter + u'8')), QStringLiteral("20"));
    QVERIFY(child<QPushButton>(*panel, is820 ? "Autofaka820" : "AutoFaka840")->isEnabled());
    QVERIFY(!child<QPushButton>(*panel, is820 ? "Autostop820" : "AutoStop840")->isEnabled());
}

QTEST_MAIN(TestDispenserCycles)
#include "test_dispensercycles.moc"
