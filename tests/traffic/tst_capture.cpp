// The session capture file: what a line holds, that a crash or a full disk
// costs little, and that bad files are refused or skipped line by line.

#include "link/capturefile.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace talvex;
using namespace talvex::link;

namespace {

const QByteArray kHeader = R"({"format":"talvex-capture","version":1})"
                           "\n";
const QByteArray kGoodLine =
    R"({"answer":"06","kind":"reader","ms":12,"port":"COM1","reply":"02 00 03 50 30 4E 03 2C","sent":"02 00 02 31 30 03 02"})"
    "\n";

ExchangeRecord statusExchange() {
    ExchangeRecord e;
    e.time = QDateTime(QDate(2026, 12, 7), QTime(4, 20, 0, 123));
    e.kind = LineKind::Reader;
    e.port = QStringLiteral("COM1");
    e.model = QStringLiteral("KVR-690");
    e.sent = QByteArray::fromHex("02000231300302");
    e.answer = QByteArray::fromHex("06");
    e.reply = QByteArray::fromHex("02000350304E032C");
    e.elapsedMs = 12;
    return e;
}

CaptureContents readBytes(const QByteArray &bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readCapture(buffer);
}

} // namespace

class TestCapture : public QObject {
    Q_OBJECT

private slots:
    void lineHoldsBytesAndWords();
    void writtenAsTheSessionGoes();
    void writeTroubleIsSaidOnce_data();
    void writeTroubleIsSaidOnce();
    void badFiles_data();
    void badFiles();
    void aMillionBadLinesAreCountedNotListed();
    void hexTextBothWays();
};

void TestCapture::lineHoldsBytesAndWords() {
    QCOMPARE(
        captureLine(statusExchange(),
                    {{QStringLiteral("command"), QStringLiteral("Status query")}}),
        QByteArray(R"({"answer":"06","decoded":{"command":"Status query"},"direction":"SD+RD",)"
                   R"("kind":"reader","model":"KVR-690","ms":12,"port":"COM1",)"
                   R"("reply":"02 00 03 50 30 4E 03 2C","sent":"02 00 02 31 30 03 02",)"
                   R"("time":"2026-12-07T04:20:00.123"})"
                   "\n"));
    QVERIFY(
        captureHeaderLine(QDateTime(QDate(2026, 12, 7), QTime(4, 0)))
            .startsWith(
                R"({"format":"talvex-capture","started":"2026-12-07T04:00:00.000","version":1})"));
}

void TestCapture::writtenAsTheSessionGoes() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.jsonl"));
    CaptureWriter writer;
    QVERIFY(writer.open(path));
    writer.write(statusExchange(), {});
    // Read while the writer still holds the file: a crash now loses nothing.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const auto contents = readCapture(file);
    QVERIFY(contents.ok);
    QCOMPARE(contents.exchanges.size(), 1);
    const ExchangeRecord &e = contents.exchanges.first();
    QCOMPARE(e.sent, QByteArray::fromHex("02000231300302"));
    QCOMPARE(e.answer, QByteArray("\x06"));
    QCOMPARE(e.reply, QByteArray::fromHex("02000350304E032C"));
    QCOMPARE(e.port, QStringLiteral("COM1"));
    QCOMPARE(e.model, QStringLiteral("KVR-690"));
    QCOMPARE(e.elapsedMs, 12);
    QCOMPARE(e.time, QDateTime(QDate(2026, 12, 7), QTime(4, 20, 0, 123)));
}

void TestCapture::writeTroubleIsSaidOnce_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("said");
    QTest::newRow("no such folder")
        << "/nonexistent-folder/s.jsonl"
        << "Session capture stopped: cannot write /nonexistent-folder/s.jsonl (No such file or "
           "directory). The session goes on.";
    QTest::newRow("full disk") << "/dev/full"
                               << "Session capture stopped: cannot write /dev/full (No space left "
                                  "on device). The session goes on.";
}

void TestCapture::writeTroubleIsSaidOnce() {
    QFETCH(QString, path);
    QFETCH(QString, said);
    QStringList reports;
    CaptureWriter writer([&reports](const QString &text) { reports << text; });
    QVERIFY(!writer.open(path));
    writer.write(statusExchange(), {});
    writer.write(statusExchange(), {});
    QCOMPARE(reports, QStringList{said});
    QVERIFY(!writer.isOpen());
}

void TestCapture::badFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<QStringList>("skipped");

    QTest::newRow("empty") << QByteArray()
                           << "line 1: no capture header (the file is empty or "
                              "its first line is not one)"
                           << 0 << QStringList();
    QTest::newRow("not JSON") << QByteArray("hello\n")
                              << "line 1: not a Talvex session capture header" << 0
                              << QStringList();
    QTest::newRow("other version")
        << QByteArray(R"({"format":"talvex-capture","version":2})") + "\n" + kGoodLine
        << "line 1: capture format version 2 is unknown (this program reads version 1)" << 0
        << QStringList();
    QTest::newRow("truncated last line") << kHeader + kGoodLine + kGoodLine.left(40) << QString()
                                         << 1 << QStringList{"line 3: cut off (not JSON)"};
    QTest::newRow("stray lines") << kHeader + "[1,2]\n\n" + kGoodLine +
                                        "{\"kind\":\"printer\",\"sent\":\"02\"}\n"
                                 << QString() << 1
                                 << QStringList{"line 2: not JSON",
                                                "line 5: unknown line kind \"printer\""};
    QTest::newRow("bad hex") << kHeader + R"({"kind":"reader","sent":"0G"})" + "\n" + kGoodLine
                             << QString() << 1 << QStringList{"line 2: \"sent\" is not hex bytes"};
    QTest::newRow("enormous line")
        << kHeader + QByteArray(2 << 20, 'x') + "\n" + kGoodLine << QString() << 1
        << QStringList{"line 2: longer than 1048576 bytes"};
}

void TestCapture::badFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QFETCH(int, exchanges);
    QFETCH(QStringList, skipped);
    const auto contents = readBytes(bytes);
    QCOMPARE(contents.ok, error.isEmpty());
    QCOMPARE(contents.error, error);
    QCOMPARE(contents.exchanges.size(), exchanges);
    QCOMPARE(contents.skipped, skipped);
}

void TestCapture::aMillionBadLinesAreCountedNotListed() {
    QByteArray bytes = kHeader;
    bytes.reserve(kHeader.size() + 2'000'000 + kGoodLine.size());
    for (int i = 0; i < 1'000'000; ++i)
        bytes += "x\n";
    bytes += kGoodLine;
    const auto contents = readBytes(bytes);
    QVERIFY(contents.ok);
    QCOMPARE(contents.exchanges.size(), 1);
    QCOMPARE(contents.skippedCount, 1'000'000);
    QCOMPARE(contents.skipped.size(), 20);
    QCOMPARE(contents.skipped.last(), QStringLiteral("line 21: not JSON"));
}

void TestCapture::hexTextBothWays() {
    QCOMPARE(hexText(QByteArray::fromHex("0200FFa5")), QStringLiteral("02 00 FF A5"));
    const struct {
        const char *text;
        bool ok;
        QByteArray bytes;
    } cases[] = {{"02 00 ff", true, QByteArray::fromHex("0200FF")},
                 {"0200FF", true, QByteArray::fromHex("0200FF")},
                 {"", true, QByteArray()},
                 {"0 2", false, {}},
                 {"020", false, {}},
                 {"02 zz", false, {}}};
    for (const auto &c : cases) {
        QByteArray bytes("unchanged");
        QCOMPARE(bytesFromHexText(QString::fromLatin1(c.text), bytes), c.ok);
        QCOMPARE(bytes, c.ok ? c.bytes : QByteArray("unchanged"));
    }
}

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
