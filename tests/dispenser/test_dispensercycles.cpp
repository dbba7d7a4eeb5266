// Automatic dispense and capture cycles of the dispenser window against the
// simulated machines, in fake time.

#include "virtualdispensers.h"

#include "dispenser/dispenserpicture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
    void cardInChannelAtSetupResetsOnce();
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
    QTest::addColumn<QString>("errorLabel");
    QTest::addColumn<QString>("rate");
    // Four cards, then a jam on the fifth: 1 error in 5 commands.
    QTest::newRow("KVR-820") << true << "Label8207"
                             << "20";
    QTest::newRow("KVR-840") << false << "Label8407"
                             << "20";
}

void TestDispenserCycles::jamStopsTheRunAtTheFirstError() {
    QFETCH(bool, is820);
    QFETCH(QString, errorLabel);
    QFETCH(QString, rate);
    VirtualDispensers v;
    v.dev820.setMechanics({.dispenseMs = 300});
    v.dev840.setMechanics({.dispenseMs = 300, .holdAtMouth = false});
    QWidget *panel = nullptr;
    QStringList counters;
    std::function<int()> count;
    if (is820) {
        QVERIFY(v.setUp820());
        panel = &v.k820();
        child<QLineEdit>(*panel, "Text8201")->setText(QStringLiteral("10"));
        v.k820().Autofaka820_Click();
        counters = {"Label8205", "Label8206", "Label8207", "Label8208"};
        count = [&] { return v.k820().autoCount(); };
    } else {
        QVERIFY(v.setUp840());
        panel = &v.k840();
        child<QCheckBox>(*panel, "Check8401")->click();
        child<QLineEdit>(*panel, "Autonumber840")->setText(QStringLiteral("10"));
        v.k840().AutoFaka840_Click();
        counters = {"Label8405", "Label8406", "Label8407", "Label8408"};
        count = [&] { return v.k840().autoCount(); };
    }
    v.runFor(600000, [&] { return count() == 4; });
    if (is820)
        v.dev820.injectFault(sim::DispenserFault::Jam);
    else
        v.dev840.injectFault(sim::DispenserFault::Jam);
    v.runFor(60000);

    QCOMPARE(count(), 4);
    QCOMPARE(text(*panel, qPrintable(counters[0])), QStringLiteral("5"));
    QCOMPARE(text(*panel, qPrintable(counters[1])), QStringLiteral("4"));
    QCOMPARE(text(*panel, qPrintable(errorLabel)), QStringLiteral("1"));
    QCOMPARE(text(*panel, qPrintable(counters[3])), rate);
    QVERIFY(child<QPushButton>(*panel, is820 ? "Autofaka820" : "AutoFaka840")->isEnabled());
    QVERIFY(!child<QPushButton>(*panel, is820 ? "Autostop820" : "AutoStop840")->isEnabled());
}

void TestDispenserCycles::cardInChannelAtSetupResetsOnce() {
    VirtualDispensers v;
    // A card left at the door from an earlier run.
    v.dev820.setStatus({'0', '0', '0', '1'});
    QVERIFY(v.setUp820());
    v.runFor(3000);
    QCOMPARE(commandTexts(v.writes820), QStringList({"RS"}));
    QCOMPARE(v.boxes.texts(), QStringList({"Reset Success\r\nChecking Working Situation\r\n"
                                           "Wait for 2 Sec for Next Operation"}));
}

QTEST_MAIN(TestDispenserCycles)
#include "test_dispensercycles.moc"
