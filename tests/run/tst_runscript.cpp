// The check script language: each step kind as it is laid out for the line,
// and each fault of the text with its line and column.

#include "run/script.h"

#include <QTest>

using namespace talvex::run;

namespace {

Script parsed(const QByteArray &text, DeviceKind device = DeviceKind::Reader) {
    auto result = parseScript(text, QStringLiteral("t.tvx"), device);
    if (auto *e = std::get_if<ScriptError>(&result))
        qFatal("unexpected error: %s", qPrintable(e->text()));
    return std::get<Script>(std::move(result));
}

} // namespace

class TestRunScript : public QObject {
    Q_OBJECT

private slots:
    void readerBodies_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("body");
        const auto row = [](const char *name, const char *line, const char *body) {
            QTest::newRow(name) << QByteArray(line) << QByteArray::fromHex(body);
        };
        row("status", "status", "3130");
        row("sensors", "sensors", "312E");
        row("card-type", "card-type", "3131");
        row("tracks 1 2 3", "read-tracks 1 2 3", "45303037");
        row("track 2", "read-tracks 2", "45303032");
        row("track 3 bin", "read-tracks 3 bin", "45303133");
        row("tracks 1 3", "read-tracks 3 1", "45303036");
        row("rf-read", "rf-read sector 1 block 2 key FFFFFFFFFFFF", "35330102");
        row("cpu-reset iso", "cpu-reset iso", "373031");
        row("mem-read", "mem-read 24C02 addr 0010 len 16", "363131001010");
        row("mem-write", "mem-write 24c64 addr 1F00 data A55A", "3632361F0002A55A");
        row("send", "send 31 30 0A", "31300A");
    }
    void readerBodies() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, body);
        const Script s = parsed(line);
        QCOMPARE(s.steps.size(), size_t(1));
        QCOMPARE(s.steps[0].body.toHex(' '), body.toHex(' '));
    }

    void stepDetails() {
        const Script s = parsed("open\n"
                                "reset eject-rear   # to the back\n"
                                "rf-read sector 3 block 0 key A0A1A2A3A4A5 key-b\n"
                                "apdu 0084000008\n"
                                "wait 2s\n"
                                "wait 500ms\n"
                                "expect sw = 9000\n"
                                "expect reply ~ \"^P0 x\"\n"
                                "expect track2 ok\n"
                                "expect status != no-card\n"
                                "repeat 3 {\n"
                                "  repeat 2 {\n"
                                "    status\n"
                                "  }\n"
                                "  detect\n"
                                "}\n"
                                "close\n");
        QCOMPARE(s.steps.size(), size_t(12));
        QCOMPARE(s.steps[0].kind, StepKind::Open);
        QCOMPARE(s.steps[1].pm, '2');
        QCOMPARE(s.steps[1].text, QStringLiteral("reset eject-rear"));
        QCOMPARE(s.steps[2].keyCheck.toHex(), QByteArray("353903a0a1a2a3a4a5"));
        QCOMPARE(s.steps[3].data.toHex(), QByteArray("0084000008"));
        QCOMPARE(s.steps[4].ms, 2000);
        QCOMPARE(s.steps[5].ms, 500);
        QCOMPARE(s.steps[6].field, QStringLiteral("sw"));
        QCOMPARE(s.steps[6].value, QStringLiteral("9000"));
        QCOMPARE(s.steps[7].op, ExpectOp::Matches);
        QCOMPARE(s.steps[7].value, QStringLiteral("^P0 x"));
        QCOMPARE(s.steps[8].value, QStringLiteral("ok"));
        QCOMPARE(s.steps[9].op, ExpectOp::NotEqual);
        const Step &outer = s.steps[10];
        QCOMPARE(outer.kind, StepKind::Repeat);
        QCOMPARE(outer.count, 3);
        QCOMPARE(outer.steps.size(), size_t(2));
        QCOMPARE(outer.steps[0].count, 2);
        QCOMPARE(outer.steps[0].steps[0].line, 13);
        QCOMPARE(outer.steps[1].kind, StepKind::Detect);
        QCOMPARE(s.steps[11].kind, StepKind::Close);
    }

    void dispenserSteps_data() {
        QTest::addColumn<int>("device");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("op");
        const auto row = [](const char *name, DeviceKind device, const char *line, DispenserOp op) {
            QTest::newRow(name) << int(device) << QByteArray(line) << int(op);
        };
        row("820 dispense", DeviceKind::Dispenser820, "dispense", DispenserOp::Dispense);
        row("820 door", DeviceKind::Dispenser820, "dispense door", DispenserOp::DispenseDoor);
        row("820 capture", DeviceKind::Dispenser820, "capture", DispenserOp::Capture);
        row("840 status", DeviceKind::Dispenser840, "status", DispenserOp::Status);
        row("840 reset", DeviceKind::Dispenser840, "reset", DispenserOp::Reset);
    }

    void dispenserSteps() {
        QFETCH(int, device);
        QFETCH(QByteArray, line);
        QFETCH(int, op);
        const Script s = parsed(line, DeviceKind(device));
        QCOMPARE(s.steps[0].kind, StepKind::Dispenser);
        QCOMPARE(int(s.steps[0].dispenserOp), op);
    }

    void errors_data() {
        QTest::addColumn<int>("device");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        const auto bad = [](const char *name, const QByteArray &text, const char *error,
                            DeviceKind device = DeviceKind::Reader) {
            QTest::newRow(name) << int(device) << text << QString::fromUtf8(error);
        };
        bad("unknown step", "open\n  frobnicate 3\n", "t.tvx:2:3: unknown step \"frobnicate\"");
        bad("reset option", "reset sideways",
            "t.tvx:1:7: reset takes no-eject, eject-front or eject-rear");
        bad("track 4", "read-tracks 1 4", "t.tvx:1:15: a track is 1, 2 or 3");
        bad("no track", "read-tracks", "t.tvx:1:12: track number missing");
        bad("short key", "rf-read sector 1 block 1 key FFFF",
            "t.tvx:1:30: a key is 12 hexadecimal digits");
        bad("sector 40", "rf-read sector 40 block 1 key FFFFFFFFFFFF",
            "t.tvx:1:16: a sector is 0 to 39");
        bad("odd apdu", "apdu 008400000", "t.tvx:1:6: an APDU is pairs of hexadecimal digits");
        bad("short apdu", "apdu 0084", "t.tvx:1:6: an APDU is 4 to 251 bytes");
        bad("send not hex", "send 31 3G", "t.tvx:1:9: \"3G\" is no hexadecimal byte");
        bad("mem card", "mem-read 24C03 addr 0000 len 1", "t.tvx:1:10: a card is 24C01 to 24C64");
        bad("mem length", "mem-read 24C02 addr 0000 len 129", "t.tvx:1:30: a length is 1 to 128");
        bad("unknown field", "expect colour = red", "t.tvx:1:8: unknown field \"colour\"");
        bad("bad operator", "expect sw == 9000",
            "t.tvx:1:11: \"=\", \"!=\", \"~\" or \"ok\" expected");
        bad("bad pattern", "expect reply ~ \"(\"",
            "t.tvx:1:16: bad pattern: missing closing parenthesis");
        bad("open quote", "expect text = \"abc", "t.tvx:1:15: the quoted text does not end");
        bad("bad wait", "wait soon", "t.tvx:1:6: a time is like 500ms or 2s");
        bad("inner brace", "repeat 2 {\n repeat 3 {\n }\n",
            "t.tvx:1:10: \"{\" of this repeat has no \"}\"");
        bad("stray brace", "status\n}\n", "t.tvx:2:1: \"}\" without a repeat");
        bad("no brace", "repeat 5\n", "t.tvx:1:10: \"{\" expected after the count");
        bad("count 0", "repeat 0 {\n}\n", "t.tvx:1:8: a count is 1 to 1000000");
        bad("binary", QByteArray("status\nst\x00tus\n", 14),
            "t.tvx:2:3: binary byte 00h; a script is plain text");
        bad("not utf-8", "status \xff\xfe\n", "t.tvx:1:1: the file is not UTF-8 text");
        bad("extra word", "status now", "t.tvx:1:8: unexpected \"now\"");
        bad("dispenser on reader", "capture", "t.tvx:1:1: \"capture\" is not a reader step");
        bad("reader on dispenser", "apdu 00840000", "t.tvx:1:1: \"apdu\" is not a dispenser step",
            DeviceKind::Dispenser820);
        bad("840 door", "dispense door", "t.tvx:1:10: the KVR-840 has no door",
            DeviceKind::Dispenser840);
        bad("840 capture", "capture", "t.tvx:1:1: the KVR-840 has no capture",
            DeviceKind::Dispenser840);
    }
    void errors() {
        QFETCH(int, device);
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        auto result = parseScript(text, QStringLiteral("t.tvx"), DeviceKind(device));
        const auto *e = std::get_if<ScriptError>(&result);
        QVERIFY(e);
        QCOMPARE(e->text(), error);
    }
};

QTEST_GUILESS_MAIN(TestRunScript)
#include "tst_runscript.moc"
