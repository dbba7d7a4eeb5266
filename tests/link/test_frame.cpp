#include "link/frame.h"

#include <QTest>

using namespace talvex::link;

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

} // namespace

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void bcc_data();
    void bcc();
    void frames();
    void hexText_data();
    void hexText();
    void typedHex_data();
    void typedHex();
};

void TestFrame::bcc_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("expected");

    QTest::newRow("reset frame, placeholder 00") << hex("02000230300300") << 0x03;
    QTest::newRow("placeholder never counts") << hex("020002303003FF") << 0x03;
    QTest::newRow("single element") << hex("7A") << 0x00;
    QTest::newRow("empty") << QByteArray() << 0x00;
    QTest::newRow("status query") << hex("020002313003AA") << 0x02;
}

void TestFrame::bcc() {
    QFETCH(QByteArray, frame);
    QFETCH(int, expected);
    QCOMPARE(int(ReaderBcc(frame)), expected);
}

// The 300-byte body with its LH and LL is the reader window's command line test's.
void TestFrame::frames() {
    QCOMPARE(buildReaderFrame("00"), hex("02000230300303"));
    QCOMPARE(buildReaderFrame(QByteArray()), hex("0200000301"));
}

void TestFrame::hexText_data() {
    QTest::addColumn<bool>("pad"); // HexPad2, else HexToBits
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("pad empty") << true << QString() << QStringLiteral("00");
    QTest::newRow("pad one") << true << QStringLiteral("A") << QStringLiteral("0A");
    QTest::newRow("pad three") << true << QStringLiteral("1AB") << QString();
    QTest::newRow("bits 3F") << false << QStringLiteral("3F") << QStringLiteral("00111111");
    QTest::newRow("bits lower skipped") << false << QStringLiteral("3f") << QStringLiteral("0011");
    QTest::newRow("bits blank") << false << QStringLiteral("0 9") << QStringLiteral("00001001");
    QTest::newRow("bits A and F") << false << QStringLiteral("AF") << QStringLiteral("10101111");
    QTest::newRow("bits: G is not hex") << false << QStringLiteral("G1") << QStringLiteral("0001");
    QTest::newRow("bits empty") << false << QString() << QString();
}

void TestFrame::hexText() {
    QFETCH(bool, pad);
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(pad ? HexPad2(in) : HexToBits(in), out);
}

void TestFrame::typedHex_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("blank separated")
        << "02 00 02 30 30 03 03" << 7 << true << hex("02000230300303");
    QTest::newRow("separator not examined") << "30,31" << 2 << true << hex("3031");
    QTest::newRow("lower case") << "ff 0a" << 2 << true << hex("ff0a");
    QTest::newRow("one digit after a blank") << " 5 06" << 2 << true << hex("0506");
    QTest::newRow("fewer bytes asked than typed") << "01 02 03" << 2 << true << hex("0102");
    QTest::newRow("nothing asked") << "" << 0 << true << QByteArray();
    QTest::newRow("not hex") << "3G 30" << 2 << false << QByteArray();
    QTest::newRow("not hex in a later pair") << "30 3G" << 2 << false << QByteArray();
    QTest::newRow("blank pair") << "30    31" << 3 << false << QByteArray();
    QTest::newRow("sign") << "+3 30" << 2 << false << QByteArray();
    QTest::newRow("text too short") << "30 31" << 3 << false << QByteArray();
    QTest::newRow("last pair cut short") << "30 3" << 2 << false << QByteArray();
}

void TestFrame::typedHex() {
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(bool, ok);
    QFETCH(QByteArray, bytes);

    const auto parsed = parseTypedHex(text, count);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, bytes);
}

QTEST_APPLESS_MAIN(TestFrame)
#include "test_frame.moc"
