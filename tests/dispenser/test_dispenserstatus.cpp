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
    QTest::addColumn<QByteArray>("chars"); // Z A B C of "AP", or A B C of "RF"
    QTest::addColumn<State820>("before");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<State820>("after");
    QTest::addColumn<QStringList>("events");

    const auto row = [](const char *name, const char *chars, const State820 &before,
                        const QStringList &texts, const State820 &after,
                        const QStringList &events) {
        QTest::newRow(name) << QByteArray(chars) << before << texts << after << events;
    };
    const auto run = &S8::dispenseRunning, cap = &S8::captureRunning;
    const auto dd = &S8::dispenseDone, cd = &S8::captureDone;
    const auto da = &S8::dispenseAllowed, ca = &S8::captureAllowed, au = &S8::autoRunning;
    const QString success = QStringLiteral("Card Dispense Success");
    const QString empty = QStringLiteral("Stacker Is Empty");
    // B "8" and C "F" touch nothing, so rows about one character use them.

    row("A 0 dispense ends", "008F", s820({run, au}), {success}, s820({dd, au}),
        {"dispensed", "dispenseRate", "advanceDispense"});
    row("A 0 capture ends", "008F", s820({cap, dd}), {success, "Card Capture Success"},
        s820({cd, ca}), {"captured", "captureRate", "advanceCapture"});
    row("A 0 after a dispense", "008F", s820({dd, da}), {success}, s820({dd, ca}), {});
    row("A 0 after a capture", "008F", s820({cd, ca}), {"Card Capture Success"}, s820({cd, da}),
        {});
    row("A 0 RF counts nothing", "08F", s820({run, dd, ca}), {success, success}, s820({dd, ca}),
        {});
    row("A 8", "088F", s820({cd, da, ca}), {"Card Is Dispensing"}, s820({run}), {"disable"});
    row("A 8 RF", "88F", s820({dd, da}), {"Card Is Dispensing"}, s820({run, da}), {});
    row("A 4", "048F", s820({dd, da}), {"Card Is Capturing"}, s820({cap}), {"disable"});
    row("A 2 while dispensing", "028F", s820({run, au, da}), {"Card Dispense Error"}, s820({}),
        {"dispenseError", "dispenseRate", "disable", "stop"});
    row("A 2 again", "028F", s820({da}), {"Card Dispense Error"}, s820({da}), {"dispenseRate"});
    row("A 1 while capturing", "018F", s820({cap, ca}), {"Card Capture Error"}, s820({}),
        {"captureError", "captureRate", "disable"});
    row("A other", "058F", s820({run}), {}, s820({run}), {});

    row("Z 1", "158F", s820({da}), {"Error Card Bin Is Full"}, s820({da}), {});
    row("Z 2", "258F", s820({da, ca}), {"Dispenser Error Alarm"}, s820({}), {});
    row("Z 3", "358F", s820({da}), {}, s820({da}), {});

    const Marks noUpper = kAll820 & ~Marks(StackerUpper);
    row("B 0", "050F", s820({}, P1), {}, s820({}, P1 | kStackerMarks), {});
    row("B 1", "051F", s820({ca}), {"Stacker Is Pre-empty"}, s820({da}, noUpper), {});
    row("B 1 RF", "51F", s820({ca}), {"Stacker Is Pre-empty"}, s820({ca}, noUpper), {});
    row("B 2", "052F", s820({da}), {"Card Dispenser Clip Card"}, s820({}), {"disable"});
    row("B 3", "053F", s820({ca}), {"Card Dispenser Clip Card"}, s820({}), {"disable"});
    row("B 4", "054F", s820({da}), {"Card Overlapped"}, s820({}), {"disable"});

    // Character C: texts, picture and the allowed flags.
    const Marks st = kStackerMarks;
    const QString door = QStringLiteral("Card Stopped at the Door");
    row("C 0", "0580", s820({ca}), {}, s820({da}, st), {});
    row("C 1 to the door", "0581", s820({da}, kAll820, 5), {door}, s820({ca}, st | P6, 5), {});
    row("C 1 leave sensor 2", "0581", s820({}, kAll820, 3), {door}, s820({ca}, st | P5, 3), {});
    row("C 1 out", "0581", s820({}, P2, 6), {door}, s820({ca}, P2, 6), {});
    row("C 2", "0582", s820({da}, kAll820, 2), {}, s820({ca}, st | P3, 2), {});
    row("C 3", "0583", s820({}, kAll820, 4), {"Card Stopped at the Reading Position"},
        s820({ca}, st | P4, 4), {});
    row("C 4", "0584", s820({ca}), {"Card Pre-dispense", "Waiting for Dispensing"},
        s820({da}, st | P1), {});
    row("C 6", "0586", s820({}, kAll820, 1), {}, s820({ca}, st | P2, 1), {});
    row("C 8", "0588", s820({da, ca}), {empty}, s820({}, 0), {});
    row("C 9", "0589", s820({da}), {empty}, s820({ca}, P6), {});
    row("C A", "058A", s820({}), {}, s820({da, ca}, st | P3), {});
    row("C A RF", "58A", s820({}), {}, s820({ca}, st | P3), {});
    row("C B", "058B", s820({}), {empty}, s820({da, ca}, st | P4), {});
    row("C C", "058C", s820({}), {empty}, s820({da, ca}, st | P1), {});
    row("C E", "058E", s820({}), {empty}, s820({da, ca}, st | P2), {});
    row("C other", "0585", s820({ca}, P4), {}, s820({ca}, P4), {});
}

void TestDispenserStatus::kvr820() {
    QFETCH(QByteArray, chars);
    QFETCH(State820, before);
    QFETCH(QStringList, texts);
    QFETCH(State820, after);
    QFETCH(QStringList, events);

    const Decoded820 d =
        chars.size() == 4 ? DecodeStatus820(chars, before) : DecodeStatus820Short(chars, before);
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

    const auto row = [](bool counting, const char *chars, const State840 &before,
                        const QStringList &texts, const State840 &after,
                        const QStringList &events) {
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(counting ? "count" : "show", chars)))
            << counting << QByteArray(chars) << before << texts << after << events;
    };
    const auto al = &S4::dispenseAllowed, pe = &S4::dispensePending;
    const auto sc = &S4::successCounted, au = &S4::autoRunning;
    const Marks st = kStackerMarks;
    const QString waiting = QStringLiteral("Waiting for Dispensing");
    const QString notExecuted = QStringLiteral("Dispensing Command can not be Executed");
    // S2 "9" touches nothing, so rows about S1 use it.

    const bool show = false;
    row(show, "09", s840({}), {waiting}, s840({}, st | Q1), {});
    row(show, "19", s840({al}), {"Card Is Dispensing"}, s840({al}, st | Q2), {});
    row(show, "29", s840({}), {"Waiting for Card to be Taken"}, s840({}, st | Q3), {});
    row(show, "39", s840({pe}), {"Card Dispense Success"}, s840({pe}, st), {});
    row(show, "49", s840({pe}), {"Card Dispensing Error"}, s840({pe}, st), {});
    row(show, "59", s840({}), {"Card Pre-dispense"}, s840({}), {});
    row(show, "69", s840({pe}), {notExecuted}, s840({pe}), {});
    row(show, "90", s840({}, Q2), {}, s840({}, Q2 | st), {});
    row(show, "91", s840({}, Q2), {"Stacker Is Pre-empty"}, s840({}, Q2 | StackerLower), {});
    row(show, "92", s840({pe, al}), {"Stacker Is Empty"}, s840({pe, al}, kCardMarks840), {});

    const bool count = true;
    row(count, "00", s840({}, Q2), {waiting}, s840({al}, st | Q1), {});
    row(count, "01", s840({}, Q3), {waiting, "Stacker Is Pre-empty"}, s840({al}, StackerLower | Q1),
        {});
    row(count, "02", s840({al}, Q3), {"Stacker Is Empty"}, s840({}, Q3), {});
    row(count, "09", s840({}, st | Q3), {waiting}, s840({al}, st), {});
    row(count, "19", s840({al}, Q1), {"Card Is Dispensing"}, s840({}, Q1), {});
    row(count, "29", s840({al}), {"Waiting for Card to be Taken"}, s840({}, st | Q3), {});
    // Pending: the dispense this poll answers for is counted once.
    row(count, "39", s840({pe, au}), {"Card Dispense Success"}, s840({al, sc, au}, st),
        {"dispensed", "rate", "advance"});
    QTest::newRow("count 39 counted already")
        << true << QByteArray("39") << s840({sc}) << QStringList{"Card Dispense Success"}
        << s840({al, sc}, st) << QStringList{};
    row(count, "49", s840({pe, sc, au, al}), {"Card Dispensing Error"}, s840({}, st),
        {"error", "rate", "stop"});
    row(count, "59", s840({al}), {"Card Pre-dispense"}, s840({}), {});
    row(count, "69", s840({pe, au, al}), {notExecuted}, s840({}), {"rate", "stop"});
    row(count, "92", s840({pe, au, al}), {"Stacker Is Empty"}, s840({}, kCardMarks840),
        {"rate", "stop"});
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
        QVERIFY2(talvex::dispenser::cardInChannel820(c) == inChannel.contains(c),
                 QByteArray(1, c).constData());
}

QTEST_APPLESS_MAIN(TestDispenserStatus)
#include "test_dispenserstatus.moc"
