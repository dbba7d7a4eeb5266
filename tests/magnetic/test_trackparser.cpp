// Track replies as the reader sends them, and the log lines of the automatic test.

#include "magnetic/magautolog.h"
#include "magnetic/trackparser.h"

#include <QtTest>

using namespace talvex::magnetic;

namespace {

// A reply as the exchange hands it over: body, ETX and a BCC (its value is not
// the parser's business).
QByteArray reply(const QByteArray &body) {
    return body + QByteArray("\x03\x00", 2);
}

} // namespace

class TestTrackParser : public QObject {
    Q_OBJECT

private slots:
    void trackCodes();
    void sections_data();
    void sections();
    void shortRepliesShowNothing();
    void displayTexts_data();
    void displayTexts();
    void errorTypes();
    void errorRates_data();
    void errorRates();
    void logLines();
};

void TestTrackParser::trackCodes() {
    struct Row {
        bool t1, t2, t3;
        char code;
    };
    const Row rows[] = {
        {false, false, false, '0'}, {true, false, false, '1'}, {false, true, false, '2'},
        {false, false, true, '3'},  {true, true, false, '4'},  {false, true, true, '5'},
        {true, false, true, '6'},   {true, true, true, '7'},
    };
    for (const Row &r : rows)
        QCOMPARE(trackCode(r.t1, r.t2, r.t3), r.code);
}

void TestTrackParser::sections_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("statuses");
    QTest::addColumn<QByteArrayList>("data");

    QTest::newRow("track 2 parity error")
        << QByteArray("P0Y07Y%A?\x1FN\xE3\x1FY;5?") << QByteArray("YNY")
        << QByteArrayList{"%A?", "\xE3", ";5?"};
    QTest::newRow("nothing asked") << QByteArray("P0Y00\x00\x1F\x00\x1F\x00", 10)
                                   << QByteArray("\x00\x00\x00", 3) << QByteArrayList{{}, {}, {}};
    QTest::newRow("not read and empty data") << QByteArray("P0Y07O\x1FY\x1FN\xE5")
                                             << QByteArray("OYN") << QByteArrayList{{}, {}, "\xE5"};
    // No separator at all: both positions stay 0, so tracks 2 and 3 start at
    // byte 1 and track 1 has no data.
    QTest::newRow("no separators")
        << QByteArray("P0Y07Y%AB?") << QByteArray("Y00") << QByteArrayList{{}, {}, "Y07Y%AB?"};
}

void TestTrackParser::sections() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, statuses);
    QFETCH(QByteArrayList, data);

    const QByteArray bytes = reply(body);
    TrackSections s;
    QVERIFY(parseTrackReply(bytes, int(bytes.size()), s));
    QCOMPARE((QByteArray() + char(s[0].status) + char(s[1].status) + char(s[2].status)), statuses);
    QCOMPARE((QByteArrayList{s[0].data, s[1].data, s[2].data}), data);
}

void TestTrackParser::shortRepliesShowNothing() {
    TrackSections s;
    s[0].status = 'Z';
    QVERIFY(!parseTrackReply(reply("P0E"), 5, s));
    QCOMPARE(s[0].status, quint8('Z'));
    // The kept length decides, not the buffer's size.
    QVERIFY(!parseTrackReply(reply("P0Y07Y1"), 4, s));
}

void TestTrackParser::displayTexts_data() {
    QTest::addColumn<quint8>("status");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("bin");
    QTest::addColumn<QString>("text");

    QTest::newRow("no data") << quint8('Y') << QByteArray() << false << "";
    QTest::newRow("bin drops non-hex") << quint8('Y') << QByteArray("F;0") << true << "11110000";
    QTest::newRow("E1") << quint8('N') << QByteArray("\xE1") << false
                        << "Read/Parity Error\r\nNo start bits (STX)";
    QTest::newRow("E2") << quint8('N') << QByteArray("\xE2") << false
                        << "Read/Parity Error\r\nNo stop bits (ETX)";
    QTest::newRow("E3") << quint8('N') << QByteArray("\xE3") << false
                        << "Read/Parity Error\r\nByte Parity Error(Parity)";
    QTest::newRow("E4") << quint8('N') << QByteArray("\xE4") << false
                        << "Read/Parity Error\r\nParity Bit Error(LRC)";
    QTest::newRow("E5") << quint8('N') << QByteArray("\xE5") << false
                        << "Read/Parity Error\r\nCard Track Data is Blank";
    QTest::newRow("E6") << quint8('N') << QByteArray("\xE6") << false << "Read/Parity Error\r\n";
    QTest::newRow("O") << quint8('O') << QByteArray() << true
                       << "No Read for this Track\r\nCard Track Data is 0xE0";
    QTest::newRow("00") << quint8(0) << QByteArray() << false
                        << "No Read Operation\r\nCard Track Data is 0x00";
}

void TestTrackParser::displayTexts() {
    QFETCH(quint8, status);
    QFETCH(QByteArray, data);
    QFETCH(bool, bin);
    QFETCH(QString, text);

    QString shown = QStringLiteral("old");
    QVERIFY(trackDisplayText(TrackSection{status, data}, bin, shown));
    QCOMPARE(shown, text);
}

void TestTrackParser::errorTypes() {
    // E0 .. E6: E1..E5 count as STX, ETX, Parity, LRC, BLANK; others in none of them.
    const int types[] = {-1, 0, 1, 2, 3, 4, -1};
    for (int i = 0; i < 7; ++i)
        QCOMPARE(trackErrorTypeIndex(quint8(0xE0 + i)), types[i]);
    // Any other status leaves the box as it was.
    QString shown = QStringLiteral("old");
    QVERIFY(!trackDisplayText(TrackSection{'Q', {}}, false, shown));
    QCOMPARE(shown, QStringLiteral("old"));
}

void TestTrackParser::errorRates_data() {
    QTest::addColumn<int>("errors");
    QTest::addColumn<int>("reads");
    QTest::addColumn<QString>("rate");
    QTest::newRow("none") << 0 << 5 << "0";
    QTest::newRow("a third") << 1 << 3 << "33.3333333333333";
    QTest::newRow("two thirds") << 2 << 3 << "66.6666666666667";
    QTest::newRow("one in 999") << 1 << 999 << "0.1001001001001";
}

void TestTrackParser::errorRates() {
    QFETCH(int, errors);
    QFETCH(int, reads);
    QFETCH(QString, rate);
    QCOMPARE(errorRateText(errors, reads), rate);
}

void TestTrackParser::logLines() {
    QCOMPARE(magSentLine(QByteArray::fromHex("02000231300302")),
             QStringLiteral("SD: 02 00 02 31 30 03 02 "));
    QCOMPARE(magReceivedLine(QByteArray("\x06")), QStringLiteral("RD: 06 "));
    QCOMPARE(magEnquiryLine(), QStringLiteral("SD: 05"));
    QCOMPARE(magUploadAckLine(), QStringLiteral("SD: 6"));
    QCOMPARE(magSameTimesLine(12), QStringLiteral("Same  12 times\r\n"));
    QCOMPARE(
        magLogHeader(QStringLiteral("KVR-690")),
        QStringLiteral("This file is generated by magnetic automated test log files by KVR-690"));

    // 26 bytes: a break and four blanks after the 25th; 25 bytes end on the break.
    QByteArray bytes(26, '\x41');
    bytes[25] = '\x42';
    const QString run25 = QStringLiteral("41 ").repeated(25);
    QCOMPARE(magReceivedLine(bytes), QStringLiteral("RD: ") + run25 + "\r\n    42 ");
    QCOMPARE(magSentLine(bytes.left(25)), QStringLiteral("SD: ") + run25 + "\r\n    ");
}

QTEST_GUILESS_MAIN(TestTrackParser)
#include "test_trackparser.moc"
