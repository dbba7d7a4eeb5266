// The dispensers' status characters as the window decodes them: one row per
// row of the status tables.

#include "dispenser/dispenserstatus.h"

#include <QtTest>

using namespace talvex::dispenser;

Q_DECLARE_METATYPE(talvex::dispenser::State820)
Q_DECLARE_METATYPE(talvex::dispenser::State840)

namespace {

// A fresh window with its picture fully shown, so that hiding shows up.
constexpr Marks kAll820 = kStackerMarks | kPositionMarks820;
constexpr Marks kAll840 = kStackerMarks | kCardMarks840;

State820 s820(std::initializer_list<bool State820::*> on, Marks marks = kAll820, int target = 0) {
    State820 s;
    for (auto flag : on)
        s.*flag = true;
    s.marks = marks;
    s.fcTarget = target;
    return s;
}

State840 s840(std::initializer_list<bool State840::*> on, Marks marks = kAll840) {
    State840 s;
    for (auto flag : on)
        s.*flag = true;
    s.marks = marks;
    return s;
}

using S8 = State820;
using S4 = State840;

// Events a decoding raised, as words, for compact rows.
QStringList words(std::initializer_list<std::pair<bool, const char *>> flags) {
    QStringList e;
    for (const auto &[on, word] : flags)
        if (on)
            e << QLatin1String(word);
    return e;
}

QStringList events(const Decoded820 &d) {
    return words({{d.dispensed, "dispensed"},
                  {d.dispenseErrors, "dispenseError"},
                  {d.captured, "captured"},
                  {d.captureErrors, "captureError"},
                  {d.dispenseRateChanged, "dispenseRate"},
                  {d.captureRateChanged, "captureRate"},
                  {d.disableButtons, "disable"},
                  {d.dispenseSucceeded, "advanceDispense"},
                  {d.captureSucceeded, "advanceCapture"},
                  {d.stopAutoTest, "stop"}});
}

QStringList events(const Decoded840 &d) {
    return words({{d.dispensed, "dispensed"},
                  {d.errors, "error"},
                  {d.rateChanged, "rate"},
                  {d.dispenseSucceeded, "advance"},
                  {d.stopAutoTest, "stop"}});
}

} // namespace

class TestDispenserStatus : public QObject {
    Q_OBJECT
private slots:
    void kvr820_data();
    void kvr820();
    void kvr840_data();
    void kvr840();
    void errorRates_data();
    void errorRates();
    void cardInChannel();
};

void TestDispenserStatus::kvr820_data() {
    QTest::addColumn<QString>("command"); // "AP" (Z A B C) or "RF" (A B C)
    QTest::addColumn<QByteArray>("chars");
    QTest::addColumn<State820>("before");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<State820>("after");
    QTest::addColumn<QStringList>("events");

    using L = QStringList;
    const auto run = &S8::dispenseRunning, cap = &S8::captureRunning;
    const auto dd = &S8::dispenseDone, cd = &S8::captureDone;
    const auto da = &S8::dispenseAllowed, ca = &S8::captureAllowed, au = &S8::autoRunning;
    // B "8" and C "F" touch nothing, so rows about one character use them.

    // Character A.
    QTest::newRow("A 0 dispense ends")
        << "AP" << QByteArray("008F") << s820({run, au}) << L{"Card Dispense Success"}
        << s820({dd, au}) << L{"dispensed", "dispenseRate", "advanceDispense"};
    QTest::newRow("A 0 capture ends")
        << "AP" << QByteArray("008F") << s820({cap, dd})
        << L{"Card Dispense Success", "Card Capture Success"} << s820({cd, ca})
        << L{"captured", "captureRate", "advanceCapture"};
    QTest::newRow("A 0 after a dispense") << "AP" << QByteArray("008F") << s820({dd, da})
                                          << L{"Card Dispense Success"} << s820({dd, ca}) << L{};
    QTest::newRow("A 0 after a capture") << "AP" << QByteArray("008F") << s820({cd, ca})
                                         << L{"Card Capture Success"} << s820({cd, da}) << L{};
    QTest::newRow("A 0 RF counts nothing")
        << "RF" << QByteArray("08F") << s820({run, dd, ca})
        << L{"Card Dispense Success", "Card Dispense Success"} << s820({dd, ca}) << L{};
    QTest::newRow("A 8") << "AP" << QByteArray("088F") << s820({cd, da, ca})
                         << L{"Card Is Dispensing"} << s820({run}) << L{"disable"};
    QTest::newRow("A 8 RF") << "RF" << QByteArray("88F") << s820({dd, da})
                            << L{"Card Is Dispensing"} << s820({run, da}) << L{};
    QTest::newRow("A 4") << "AP" << QByteArray("048F") << s820({dd, da}) << L{"Card Is Capturing"}
                         << s820({cap}) << L{"disable"};
    QTest::newRow("A 2 while dispensing")
        << "AP" << QByteArray("028F") << s820({run, au, da}) << L{"Card Dispense Error"} << s820({})
        << L{"dispenseError", "dispenseRate", "disable", "stop"};
    QTest::newRow("A 2 again") << "AP" << QByteArray("028F") << s820({da})
                               << L{"Card Dispense Error"} << s820({da}) << L{"dispenseRate"};
    QTest::newRow("A 1 while capturing")
        << "AP" << QByteArray("018F") << s820({cap, ca}) << L{"Card Capture Error"} << s820({})
        << L{"captureError", "captureRate", "disable"};
    QTest::newRow("A other") << "AP" << QByteArray("058F") << s820({run}) << L{} << s820({run})
                             << L{};

    // Character Z.
    QTest::newRow("Z 1") << "AP" << QByteArray("158F") << s820({da}) << L{"Error Card Bin Is Full"}
                         << s820({da}) << L{};
    QTest::newRow("Z 2") << "AP" << QByteArray("258F") << s820({da, ca})
                         << L{"Dispenser Error Alarm"} << s820({}) << L{};
    QTest::newRow("Z 3") << "AP" << QByteArray("358F") << s820({da}) << L{} << s820({da}) << L{};

    // Character B.
    QTest::newRow("B 0") << "AP" << QByteArray("050F") << s820({}, P1) << L{}
                         << s820({}, P1 | kStackerMarks) << L{};
    QTest::newRow("B 1") << "AP" << QByteArray("051F") << s820({ca}) << L{"Stacker Is Pre-empty"}
                         << s820({da}, kAll820 & ~Marks(StackerUpper)) << L{};
    QTest::newRow("B 1 RF") << "RF" << QByteArray("51F") << s820({ca}) << L{"Stacker Is Pre-empty"}
                            << s820({ca}, kAll820 & ~Marks(StackerUpper)) << L{};
    QTest::newRow("B 2") << "AP" << QByteArray("052F") << s820({da})
                         << L{"Card Dispenser Clip Card"} << s820({}) << L{"disable"};
    QTest::newRow("B 3") << "AP" << QByteArray("053F") << s820({ca})
                         << L{"Card Dispenser Clip Card"} << s820({}) << L{"disable"};
    QTest::newRow("B 4") << "AP" << QByteArray("054F") << s820({da}) << L{"Card Overlapped"}
                         << s820({}) << L{"disable"};

    // Character C: texts, picture and the allowed flags.
    QTest::newRow("C 0") << "AP" << QByteArray("0580") << s820({ca}) << L{}
                         << s820({da}, kStackerMarks) << L{};
    QTest::newRow("C 1 to the door")
        << "AP" << QByteArray("0581") << s820({da}, kAll820, 5) << L{"Card Stopped at the Door"}
        << s820({ca}, kStackerMarks | P6, 5) << L{};
    QTest::newRow("C 1 leave sensor 2")
        << "AP" << QByteArray("0581") << s820({}, kAll820, 3) << L{"Card Stopped at the Door"}
        << s820({ca}, kStackerMarks | P5, 3) << L{};
    QTest::newRow("C 1 out") << "AP" << QByteArray("0581") << s820({}, P2, 6)
                             << L{"Card Stopped at the Door"} << s820({ca}, P2, 6) << L{};
    QTest::newRow("C 2") << "AP" << QByteArray("0582") << s820({da}, kAll820, 2) << L{}
                         << s820({ca}, kStackerMarks | P3, 2) << L{};
    QTest::newRow("C 3") << "AP" << QByteArray("0583") << s820({}, kAll820, 4)
                         << L{"Card Stopped at the Reading Position"}
                         << s820({ca}, kStackerMarks | P4, 4) << L{};
    QTest::newRow("C 4") << "AP" << QByteArray("0584") << s820({ca})
                         << L{"Card Pre-dispense", "Waiting for Dispensing"}
                         << s820({da}, kStackerMarks | P1) << L{};
    QTest::newRow("C 6") << "AP" << QByteArray("0586") << s820({}, kAll820, 1) << L{}
                         << s820({ca}, kStackerMarks | P2, 1) << L{};
    QTest::newRow("C 8") << "AP" << QByteArray("0588") << s820({da, ca}) << L{"Stacker Is Empty"}
                         << s820({}, 0) << L{};
    QTest::newRow("C 9") << "AP" << QByteArray("0589") << s820({da}) << L{"Stacker Is Empty"}
                         << s820({ca}, P6) << L{};
    QTest::newRow("C A") << "AP" << QByteArray("058A") << s820({}) << L{}
                         << s820({da, ca}, kStackerMarks | P3) << L{};
    QTest::newRow("C A RF") << "RF" << QByteArray("58A") << s820({}) << L{}
                            << s820({ca}, kStackerMarks | P3) << L{};
    QTest::newRow("C B") << "AP" << QByteArray("058B") << s820({}) << L{"Stacker Is Empty"}
                         << s820({da, ca}, kStackerMarks | P4) << L{};
    QTest::newRow("C B RF") << "RF" << QByteArray("58B") << s820({da}) << L{"Stacker Is Empty"}
                            << s820({ca}, kStackerMarks | P4) << L{};
    QTest::newRow("C C") << "AP" << QByteArray("058C") << s820({}) << L{"Stacker Is Empty"}
                         << s820({da, ca}, kStackerMarks | P1) << L{};
    QTest::newRow("C E") << "AP" << QByteArray("058E") << s820({}) << L{"Stacker Is Empty"}
                         << s820({da, ca}, kStackerMarks | P2) << L{};
    QTest::newRow("C other") << "AP" << QByteArray("0585") << s820({ca}, P4) << L{}
                             << s820({ca}, P4) << L{};

    // The two polls of a manual dispense, as a user sees them.
    QTest::newRow("idle, then dispensing")
        << "AP" << QByteArray("0800") << s820({}) << L{"Card Is Dispensing"}
        << s820({run, da}, kStackerMarks) << L{"disable"};
    QTest::newRow("dispensed to the door")
        << "AP" << QByteArray("0001") << s820({run, da}, kStackerMarks, 5)
        << L{"Card Dispense Success", "Card Stopped at the Door"}
        << s820({dd, ca}, kStackerMarks | P6, 5)
        << L{"dispensed", "dispenseRate", "advanceDispense"};
}

void TestDispenserStatus::kvr820() {
    QFETCH(QString, command);
    QFETCH(QByteArray, chars);
    QFETCH(State820, before);
    QFETCH(QStringList, texts);
    QFETCH(State820, after);
    QFETCH(QStringList, events);

    const Decoded820 d = command == QLatin1String("AP") ? DecodeStatus820(chars, before)
                                                        : DecodeStatus820Short(chars, before);
    QCOMPARE(d.texts, texts);
    QCOMPARE(d.state.marks, after.marks);
    QVERIFY(d.state == after);
    QCOMPARE(::events(d), events);
}

void TestDispenserStatus::kvr840_data() {
    QTest::addColumn<bool>("counting"); // the poll's decoding, else "Status(AP)"
    QTest::addColumn<QByteArray>("chars");
    QTest::addColumn<State840>("before");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<State840>("after");
    QTest::addColumn<QStringList>("events");

    using L = QStringList;
    const auto al = &S4::dispenseAllowed, pe = &S4::dispensePending;
    const auto sc = &S4::successCounted, au = &S4::autoRunning;
    const Marks stackers = kStackerMarks;
    // S2 "9" touches nothing, so rows about S1 use it.

    // Display decoding.
    QTest::newRow("show 0") << false << QByteArray("09") << s840({}) << L{"Waiting for Dispensing"}
                            << s840({}, stackers | Q1) << L{};
    QTest::newRow("show 1") << false << QByteArray("19") << s840({al}) << L{"Card Is Dispensing"}
                            << s840({al}, stackers | Q2) << L{};
    QTest::newRow("show 2") << false << QByteArray("29") << s840({})
                            << L{"Waiting for Card to be Taken"} << s840({}, stackers | Q3) << L{};
    QTest::newRow("show 3") << false << QByteArray("39") << s840({pe}) << L{"Card Dispense Success"}
                            << s840({pe}, stackers) << L{};
    QTest::newRow("show 4") << false << QByteArray("49") << s840({pe}) << L{"Card Dispensing Error"}
                            << s840({pe}, stackers) << L{};
    QTest::newRow("show 5") << false << QByteArray("59") << s840({}) << L{"Card Pre-dispense"}
                            << s840({}) << L{};
    QTest::newRow("show 6") << false << QByteArray("69") << s840({pe})
                            << L{"Dispensing Command can not be Executed"} << s840({pe}) << L{};
    QTest::newRow("show S2 0") << false << QByteArray("90") << s840({}, Q2) << L{}
                               << s840({}, Q2 | stackers) << L{};
    QTest::newRow("show S2 1") << false << QByteArray("91") << s840({}, Q2)
                               << L{"Stacker Is Pre-empty"} << s840({}, Q2 | StackerLower) << L{};
    QTest::newRow("show S2 2") << false << QByteArray("92") << s840({pe, al})
                               << L{"Stacker Is Empty"} << s840({pe, al}, kCardMarks840) << L{};

    // Counting decoding.
    QTest::newRow("count 0") << true << QByteArray("00") << s840({}, Q2)
                             << L{"Waiting for Dispensing"} << s840({al}, stackers | Q1) << L{};
    QTest::newRow("count 0 pre-empty") << true << QByteArray("01") << s840({}, Q3)
                                       << L{"Waiting for Dispensing", "Stacker Is Pre-empty"}
                                       << s840({al}, StackerLower | Q1) << L{};
    QTest::newRow("count 0 empty") << true << QByteArray("02") << s840({al}, Q3)
                                   << L{"Stacker Is Empty"} << s840({}, Q3) << L{};
    QTest::newRow("count 0 other S2") << true << QByteArray("09") << s840({}, stackers | Q3)
                                      << L{"Waiting for Dispensing"} << s840({al}, stackers) << L{};
    QTest::newRow("count 1") << true << QByteArray("19") << s840({al}, Q1)
                             << L{"Card Is Dispensing"} << s840({}, Q1) << L{};
    QTest::newRow("count 2") << true << QByteArray("29") << s840({al})
                             << L{"Waiting for Card to be Taken"} << s840({}, stackers | Q3) << L{};
    QTest::newRow("count 3 pending")
        << true << QByteArray("39") << s840({pe, au}) << L{"Card Dispense Success"}
        << s840({al, sc, au}, stackers) << L{"dispensed", "rate", "advance"};
    QTest::newRow("count 3 counted already")
        << true << QByteArray("39") << s840({sc}) << L{"Card Dispense Success"}
        << s840({al, sc}, stackers) << L{};
    QTest::newRow("count 4 pending")
        << true << QByteArray("49") << s840({pe, sc, au, al}) << L{"Card Dispensing Error"}
        << s840({}, stackers) << L{"error", "rate", "stop"};
    QTest::newRow("count 5") << true << QByteArray("59") << s840({al}) << L{"Card Pre-dispense"}
                             << s840({}) << L{};
    QTest::newRow("count 6 pending")
        << true << QByteArray("69") << s840({pe, au, al})
        << L{"Dispensing Command can not be Executed"} << s840({}) << L{"rate", "stop"};
    QTest::newRow("count S2 2 pending")
        << true << QByteArray("92") << s840({pe, au, al}) << L{"Stacker Is Empty"}
        << s840({}, kCardMarks840) << L{"rate", "stop"};
}

void TestDispenserStatus::kvr840() {
    QFETCH(bool, counting);
    QFETCH(QByteArray, chars);
    QFETCH(State840, before);
    QFETCH(QStringList, texts);
    QFETCH(State840, after);
    QFETCH(QStringList, events);

    const Decoded840 d =
        counting ? decodeStatus840Counting(chars, before) : decodeStatus840Display(chars, before);
    QCOMPARE(d.texts, texts);
    QCOMPARE(d.state.marks, after.marks);
    QVERIFY(d.state == after);
    QCOMPARE(::events(d), events);
}

void TestDispenserStatus::errorRates_data() {
    QTest::addColumn<bool>("is820");
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("commands");
    QTest::addColumn<QString>("shown");
    QTest::newRow("820 one in three") << true << 1 << 3 << "33.33";
    QTest::newRow("820 one in eight") << true << 1 << 8 << "12.5";
    QTest::newRow("820 none") << true << 0 << 5 << "0";
    QTest::newRow("820 all") << true << 2 << 2 << "100";
    // 312.5 and 937.5 hundredths: halves go to the even neighbour.
    QTest::newRow("820 half down") << true << 1 << 32 << "3.12";
    QTest::newRow("820 half up") << true << 3 << 32 << "9.38";
    QTest::newRow("840 one in three") << false << 1 << 3 << "33.3333333333333";
    QTest::newRow("840 one in 32") << false << 1 << 32 << "3.125";
    QTest::newRow("840 none") << false << 0 << 999 << "0";
}

void TestDispenserStatus::errorRates() {
    QFETCH(bool, is820);
    QFETCH(int, errors);
    QFETCH(int, commands);
    QFETCH(QString, shown);
    QCOMPARE(is820 ? errorRate820(errors, commands) : errorRate840(errors, commands), shown);
}

// The positions at which the poll counts a card as left in the channel.
void TestDispenserStatus::cardInChannel() {
    const QByteArray inChannel = "1239";
    for (char c : QByteArray("0123456789ABCDEF"))
        QVERIFY2(talvex::dispenser::cardInChannel820(c) == inChannel.contains(c), QByteArray(1, c).constData());
}

QTEST_APPLESS_MAIN(TestDispenserStatus)
#include "test_dispenserstatus.moc"
