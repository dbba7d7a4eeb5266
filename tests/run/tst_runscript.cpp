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
        QTest::newRow("status") << QByteArray("status") << QByteArray::fromHex("3130");
        QTest::newRow("sensors") << QByteArray("sensors") << QByteArray::fromHex("312E");
        QTest::newRow("card-type") << QByteArray("card-type") << QByteArray::fromHex("3131");
        QTest::newRow("tracks 1 2 3")
            << QByteArray("read-tracks 1 2 3") << QByteArray::fromHex("45303037");
        QTest::newRow("track 2") << QByteArray("read-tracks 2") << QByteArray::fromHex("45303032");
        QTest::newRow("track 3 bin")
            << QByteArray("read-tracks 3 bin") << QByteArray::fromHex("45303133");
        QTest::newRow("tracks 1 3")
            << QByteArray("read-tracks 3 1") << QByteArray::fromHex("45303036");
        QTest::newRow("tracks 1 2")
            << QByteArray("read-tracks 1 2") << QByteArray::fromHex("45303034");
        QTest::newRow("tracks 2 3")
            << QByteArray("read-tracks 2 3") << QByteArray::fromHex("45303035");
        QTest::newRow("rf-read") << QByteArray("rf-read sector 1 block 2 key FFFFFFFFFFFF")
                                 << QByteArray::fromHex("35330102");
        QTest::newRow("cpu-reset iso")
            << QByteArray("cpu-reset iso") << QByteArray::fromHex("373031");
        QTest::newRow("mem-read") << QByteArray("mem-read 24C02 addr 0010 len 16")
                                  << QByteArray::fromHex("363131001010");
        QTest::newRow("mem-write") << QByteArray("mem-write 24c64 addr 1F00 data A55A")
                                   << QByteArray::fromHex("3632361F0002A55A");
        QTest::newRow("send") << QByteArray("send 31 30 0A") << QByteArray::fromHex("31300A");
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
        QTest::newRow("820 dispense") << int(DeviceKind::Dispenser820) << QByteArray("dispense")
                                      << int(DispenserOp::Dispense);
        QTest::newRow("820 door") << int(DeviceKind::Dispenser820) << QByteArray("dispense door")
                                  << int(DispenserOp::DispenseDoor);
        QTest::newRow("820 capture")
            << int(DeviceKind::Dispenser820) << QByteArray("capture") << int(DispenserOp::Capture);
        QTest::newRow("840 status")
            << int(DeviceKind::Dispenser840) << QByteArray("status") << int(DispenserOp::Status);
        QTest::newRow("840 reset")
            << int(DeviceKind::Dispenser840) << QByteArray("reset") << int(DispenserOp::Reset);
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
        const int r = int(DeviceKind::Reader);
        QTest::newRow("unknown step") << r << QByteArray("open\n  frobnicate 3\n")
                                      << "t.tvx:2:3: unknown step \"frobnicate\"";
        QTest::newRow("reset option")
            << r << QByteArray("reset sideways")
            << "t.tvx:1:7: reset takes no-eject, eject-front or eject-rear";
        QTest::newRow("track 4") << r << QByteArray("read-tracks 1 4")
                                 << "t.tvx:1:15: a track is 1, 2 or 3";
        QTest::newRow("no track") << r << QByteArray("read-tracks")
                                  << "t.tvx:1:12: track number missing";
        QTest::newRow("short key") << r << QByteArray("rf-read sector 1 block 1 key FFFF")
                                   << "t.tvx:1:30: a key is 12 hexadecimal digits";
        QTest::newRow("sector 40") << r << QByteArray("rf-read sector 40 block 1 key FFFFFFFFFFFF")
                                   << "t.tvx:1:16: a sector is 0 to 39";
        QTest::newRow("odd apdu") << r << QByteArray("apdu 008400000")
                                  << "t.tvx:1:6: an APDU is pairs of hexadecimal digits";
        QTest::newRow("short apdu")
            << r << QByteArray("apdu 0084") << "t.tvx:1:6: an APDU is 4 to 251 bytes";
        QTest::newRow("send not hex")
            << r << QByteArray("send 31 3G") << "t.tvx:1:9: \"3G\" is no hexadecimal byte";
        QTest::newRow("mem card") << r << QByteArray("mem-read 24C03 addr 0000 len 1")
                                  << "t.tvx:1:10: a card is 24C01 to 24C64";
        QTest::newRow("mem length") << r << QByteArray("mem-read 24C02 addr 0000 len 129")
                                    << "t.tvx:1:30: a length is 1 to 128";
        QTest::newRow("unknown field")
            << r << QByteArray("expect colour = red") << "t.tvx:1:8: unknown field \"colour\"";
        QTest::newRow("bad operator") << r << QByteArray("expect sw == 9000")
                                      << "t.tvx:1:11: \"=\", \"!=\", \"~\" or \"ok\" expected";
        QTest::newRow("bad pattern") << r << QByteArray("expect reply ~ \"(\"")
                                     << "t.tvx:1:16: bad pattern: missing closing parenthesis";
        QTest::newRow("open quote")
            << r << QByteArray("expect text = \"abc") << "t.tvx:1:15: the quoted text does not end";
        QTest::newRow("bad wait") << r << QByteArray("wait soon")
                                  << "t.tvx:1:6: a time is like 500ms or 2s";
        QTest::newRow("missing brace") << r << QByteArray("repeat 2 {\n  status\n")
                                       << "t.tvx:1:10: \"{\" of this repeat has no \"}\"";
        QTest::newRow("inner brace") << r << QByteArray("repeat 2 {\n repeat 3 {\n }\n")
                                     << "t.tvx:1:10: \"{\" of this repeat has no \"}\"";
        QTest::newRow("stray brace")
            << r << QByteArray("status\n}\n") << "t.tvx:2:1: \"}\" without a repeat";
        QTest::newRow("no brace") << r << QByteArray("repeat 5\n")
                                  << "t.tvx:1:10: \"{\" expected after the count";
        QTest::newRow("count 0") << r << QByteArray("repeat 0 {\n}\n")
                                 << "t.tvx:1:8: a count is 1 to 1000000";
        QTest::newRow("binary") << r << QByteArray("status\nst\x00tus\n", 14)
                                << "t.tvx:2:3: binary byte 00h; a script is plain text";
        QTest::newRow("not utf-8")
            << r << QByteArray("status \xff\xfe\n") << "t.tvx:1:1: the file is not UTF-8 text";
        QTest::newRow("extra word")
            << r << QByteArray("status now") << "t.tvx:1:8: unexpected \"now\"";
        QTest::newRow("dispenser on reader")
            << r << QByteArray("capture") << "t.tvx:1:1: \"capture\" is not a reader step";
        QTest::newRow("reader on dispenser")
            << int(DeviceKind::Dispenser820) << QByteArray("apdu 00840000")
            << "t.tvx:1:1: \"apdu\" is not a dispenser step";
        QTest::newRow("840 door") << int(DeviceKind::Dispenser840) << QByteArray("dispense door")
                                  << "t.tvx:1:10: the KVR-840 has no door";
        QTest::newRow("840 capture") << int(DeviceKind::Dispenser840) << QByteArray("capture")
                                     << "t.tvx:1:1: the KVR-840 has no capture";
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
