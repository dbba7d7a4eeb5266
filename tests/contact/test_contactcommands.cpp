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
    // The replies the windows' tests meet on the simulated reader are left to them.
    const Row rows[] = {
        {"powerOn", 'N', "Power On", QStringLiteral("Power On Error")},
        {"powerOn", 'E', "", {}},
        {"powerOn", 'Z', "", {}},
        {"powerOff", 'N', "Power Off", QStringLiteral("Power Off Error")},
        {"powerOff", 'W', "Power Off", position},
        {"powerOff", 'E', "", {}},
        {"cpuReset", 'W', "Card Reset", position},
        {"cpuReset", 'F', "", {}},
        {"apdu", 'E', "C-APDU", noCard},
        {"apdu", 'Z', "", {}},
        {"samReset", 'N', "Card Reset", QStringLiteral("Reset Error")},
        {"samReset", 'E', "Card Reset", noCard},
        {"samReset", 'W', "Card Reset", position},
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
    QTest::newRow("SAM 8") << "SAM 8" << 0x37;
    QTest::newRow("SAM 10") << "SAM 10" << 0x39;
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
    // Empty, odd, non-hex and overlong texts are the bad-input suite's.
    QTest::newRow("lower case") << "00a4000002" << kMaxSlotApdu << F::None << hex("00A4000002")
                                << QString();
    QTest::newRow("blank in a pair")
        << "00 4" << kMaxSlotApdu << F::None << hex("0004") << QString();
    QTest::newRow("two blanks") << "00  " << kMaxSlotApdu << F::NotHex << QByteArray() << checkData;
    QTest::newRow("250 bytes to a SAM") << QString(500, QLatin1Char('A')) << kMaxSamApdu << F::None
                                        << QByteArray(250, '\xAA') << QString();
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
