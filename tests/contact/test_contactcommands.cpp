// The texts and decodings of the contact CPU card and SAM windows, without a
// line.

#include "contact/contactcommands.h"

#include <QtTest>

using namespace talvex;
using namespace talvex::contact;

Q_DECLARE_METATYPE(talvex::contact::ApduText::Fault)

namespace {

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

const StatusTexts *textsNamed(const QString &name) {
    if (name == QLatin1String("powerOn"))
        return &texts::powerOn();
    if (name == QLatin1String("powerOff"))
        return &texts::powerOff();
    if (name == QLatin1String("cpuReset"))
        return &texts::cpuReset();
    if (name == QLatin1String("apdu"))
        return &texts::apdu();
    if (name == QLatin1String("samReset"))
        return &texts::samReset();
    return &texts::samPowerOff();
}

} // namespace

class TestContactCommands : public QObject {
    Q_OBJECT

private slots:
    void statusBoxes_data();
    void statusBoxes();
    void samSocketCodes_data();
    void samSocketCodes();
    void commandTexts_data();
    void commandTexts();
};

void TestContactCommands::statusBoxes_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<char>("status");
    QTest::addColumn<QString>("title"); // empty: no box
    QTest::addColumn<QString>("text");

    const QString position = QStringLiteral("The card is not on the IC card operation position");
    const QString noCard = QStringLiteral("No Card In The Reader");
    struct Row {
        const char *operation;
        char status;
        const char *title;
        QString text;
    };
    const Row rows[] = {
        {"powerOn", 'Y', "Power On", QStringLiteral("Power On Success")},
        {"powerOn", 'N', "Power On", QStringLiteral("Power On Error")},
        {"powerOn", 'W', "Power On", position},
        {"powerOn", 'E', "", {}},
        {"powerOn", 'Z', "", {}},
        {"powerOff", 'Y', "Power Off", QStringLiteral("Power Off Success")},
        {"powerOff", 'N', "Power Off", QStringLiteral("Power Off Error")},
        {"powerOff", 'W', "Power Off", position},
        {"powerOff", 'E', "", {}},
        {"cpuReset", 'Y', "CPU Card Reset", QStringLiteral("Reset Success(T=0)")},
        {"cpuReset", 'Z', "CPU Card Reset", QStringLiteral("Reset Success(T=1)")},
        {"cpuReset", 'N', "Card Reset", QStringLiteral("Reset Error")},
        {"cpuReset", 'E', "Card Reset", noCard},
        {"cpuReset", 'W', "Card Reset", position},
        {"cpuReset", 'F', "", {}},
        {"apdu", 'Y', "C-APDU", QStringLiteral("Success")},
        {"apdu", 'N', "C-APDU", QStringLiteral("Error")},
        {"apdu", 'E', "C-APDU", noCard},
        {"apdu", 'W', "C-APDU", QStringLiteral("The card is not at the IC card position")},
        {"apdu", 'Z', "", {}},
        {"samReset", 'Y', "SAM Card Reset", QStringLiteral("Reset Success(T=0)")},
        {"samReset", 'Z', "SAM Card Reset", QStringLiteral("Reset Success(T=1)")},
        {"samReset", 'N', "Card Reset", QStringLiteral("Reset Error")},
        {"samReset", 'E', "Card Reset", noCard},
        {"samReset", 'W', "Card Reset", position},
        {"samPowerOff", 'Y', "Power Off", QStringLiteral("Power Off Success")},
        {"samPowerOff", 'N', "Power Off", QStringLiteral("Power Off Fail")},
        {"samPowerOff", 'E', "", {}},
        {"samPowerOff", 'W', "", {}},
    };
    for (const Row &row : rows) {
        QTest::addRow("%s %c", row.operation, row.status)
            << QString::fromLatin1(row.operation) << row.status << QString::fromLatin1(row.title)
            << row.text;
    }
}

void TestContactCommands::statusBoxes() {
    QFETCH(QString, operation);
    QFETCH(char, status);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const auto box = statusBox(*textsNamed(operation), quint8(status));
    if (title.isEmpty()) {
        QVERIFY(!box);
        return;
    }
    QVERIFY(box);
    QCOMPARE(box->title, title);
    QCOMPARE(box->text, text);
    QCOMPARE(box->icon, link::MsgIcon::Information);
    QCOMPARE(box->buttons, link::MsgButtons::Ok);
}

void TestContactCommands::samSocketCodes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code"); // -1: refused

    QTest::newRow("SAM 1") << "SAM 1" << 0x30;
    QTest::newRow("SAM 3") << "SAM 3" << 0x32;
    QTest::newRow("SAM 8") << "SAM 8" << 0x37;
    QTest::newRow("SAM 9") << "SAM 9" << 0x38;
    QTest::newRow("SAM 10") << "SAM 10" << 0x39;
    QTest::newRow("SAM 12 typed") << "SAM 12" << 0x3B;
    QTest::newRow("SAM 14") << "SAM 14" << 0x3D;
    // "SAM 15", "SAM 0", "sam 1" and "" go through the SAM window in the bad-input suite.
    QTest::newRow("SAM 01") << "SAM 01" << -1;
    QTest::newRow("no blank") << "SAM1" << -1;
    QTest::newRow("trailing blank") << "SAM 1 " << -1;
}

void TestContactCommands::samSocketCodes() {
    QFETCH(QString, text);
    QFETCH(int, code);
    const std::optional<quint8> socket = samSocketCode(text);
    QCOMPARE(socket ? int(*socket) : -1, code);
}

void TestContactCommands::commandTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<ApduText::Fault>("fault");
    QTest::addColumn<QByteArray>("apdu");
    QTest::addColumn<QString>("caution");

    const QString checkData = QStringLiteral("Error:Please check the data effective");
    using F = ApduText::Fault;
    // Empty, odd, non-hex and overlong slot card texts are the bad-input suite's.
    QTest::newRow("ready-made") << "0084000008" << kMaxSlotApdu << F::None << hex("0084000008")
                                << QString();
    QTest::newRow("lower case") << "00a4000002" << kMaxSlotApdu << F::None << hex("00A4000002")
                                << QString();
    QTest::newRow("blank in a pair")
        << "00 4" << kMaxSlotApdu << F::None << hex("0004") << QString();
    QTest::newRow("two blanks") << "00  " << kMaxSlotApdu << F::NotHex << QByteArray() << checkData;
    QTest::newRow("251 bytes to the slot card") << QString(502, QLatin1Char('A')) << kMaxSlotApdu
                                                << F::None << QByteArray(251, '\xAA') << QString();
    QTest::newRow("250 bytes to a SAM") << QString(500, QLatin1Char('A')) << kMaxSamApdu << F::None
                                        << QByteArray(250, '\xAA') << QString();
    QTest::newRow("251 bytes to a SAM")
        << QString(502, QLatin1Char('A')) << kMaxSamApdu << F::TooLong << QByteArray() << checkData;
}

void TestContactCommands::commandTexts() {
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(ApduText::Fault, fault);
    QFETCH(QByteArray, apdu);
    QFETCH(QString, caution);

    const ApduText parsed = parseApduText(text, maxBytes);
    QCOMPARE(parsed.fault, fault);
    QCOMPARE(parsed.apdu.toHex(), apdu.toHex());
    QCOMPARE(apduFaultText(parsed.fault), caution);
}

QTEST_MAIN(TestContactCommands)
#include "test_contactcommands.moc"
