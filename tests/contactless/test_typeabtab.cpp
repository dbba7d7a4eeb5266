// The "TYPE A /TYPE B" tab against simulated processor cards on a
// pseudo-terminal.

#include "rfbench.h"

#include "contactless/typeabtab.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace talvex;
using talvex::contactless::TypeABTab;
using talvex::testing::hex;
using Bench = talvex::testing::RfBench<TypeABTab>;

namespace {

QString text(const Bench &b, const char *box) {
    return b.find<QLineEdit>(box)->text();
}

void send(Bench &b, const QString &command) {
    b.find<QComboBox>("CmdText")->setCurrentText(command);
    b.click("SendCmd");
}

} // namespace

class TestTypeABTab : public QObject {
    Q_OBJECT

private slots:
    void startState();
    void typeACard();
    void typeBCard();
    void apduResponses_data();
    void apduResponses();
    void withoutCardOrPort();
};

void TestTypeABTab::startState() {
    Bench b;
    const auto *command = b.find<QComboBox>("CmdText");
    QCOMPARE(command->currentText(), QStringLiteral("00A40000023F00"));
    QCOMPARE(command->count(), 3);
    QCOMPARE(command->itemText(0), QStringLiteral("0084000008"));
    QCOMPARE(command->itemText(2), QStringLiteral("00A404000E315041592E5359532E4444463031"));
    QVERIFY(b.find<QRadioButton>("CPUOption1")->isChecked());
}

void TestTypeABTab::typeACard() {
    Bench b;
    b.present(sim::RfChip::CpuTypeA);
    b.find<QLineEdit>("BackText")->setText(QStringLiteral("old"));
    b.click("select_Card");
    QCOMPARE(b.takeFrames(), QList<QByteArray>{hex("02 00 02 35 60 03 56")});
    QCOMPARE(text(b, "SelectText"), QStringLiteral("067577810280"));
    QCOMPARE(text(b, "BackText"), QString());
    QCOMPARE(b.lastTitle(), QStringLiteral("Polling"));
    QCOMPARE(b.lastBox(), QStringLiteral("Polling Success"));
    QCOMPARE(b.boxes.shown.last().icon, link::MsgIcon::Information);

    b.click("CPUTypeASNCmd");
    QCOMPARE(b.sentBody(), hex("3569"));
    QCOMPARE(b.find<QLabel>("CPURFmessage")->text(), QStringLiteral("084D1C77"));
    QCOMPARE(b.lastTitle(), QStringLiteral("Type A SN"));
    QCOMPARE(b.lastBox(), QStringLiteral("Serial number to obtain a successful"));

    send(b, QStringLiteral("0084000008"));
    const QList<QByteArray> frames = b.takeFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.first(), hex("02 00 09 35 65 00 05 00 84 00 00 08 03 D1"));
    const QString challenge = text(b, "BackText");
    QCOMPARE(challenge.size(), 20);
    QVERIFY(challenge.endsWith(QLatin1String("9000")));
    QCOMPARE(b.lastTitle(), QStringLiteral("C-APDU"));
    QCOMPARE(b.lastBox(), QStringLiteral("Success"));

    b.click("Deselect_Card");
    QCOMPARE(b.sentBody(), hex("3568"));
    QCOMPARE(text(b, "SelectText"), QString());
    QCOMPARE(b.lastTitle(), QStringLiteral("DESELECT"));
    QCOMPARE(b.lastBox(), QStringLiteral("Success"));
    send(b, QStringLiteral("00A40000023F00"));
    QCOMPARE(b.lastBox(), QStringLiteral("Error"));
    QCOMPARE(text(b, "BackText"), QString());
    b.click("Deselect_Card");
    QCOMPARE(b.lastBox(), QStringLiteral("Error"));
    QCOMPARE(b.takeFrames().size(), 2);

    // A type A card does not answer a type B poll.
    b.click("CPUOption2");
    b.click("select_Card");
    QCOMPARE(b.sentBody(), hex("3561"));
    QCOMPARE(b.lastBox(), QStringLiteral("Polling Error"));
    QCOMPARE(text(b, "SelectText"), QString());
}

void TestTypeABTab::typeBCard() {
    Bench b(sim::ReaderModel::Kvr527);
    b.present(sim::RfChip::CpuTypeB);
    b.click("CPUOption2");
    b.click("select_Card");
    QCOMPARE(b.sentBody(), hex("3561"));
    QCOMPARE(text(b, "SelectText"), QStringLiteral("501A2B3C4D00000000007185"));
    QCOMPARE(b.lastBox(), QStringLiteral("Polling Success"));

    b.find<QLabel>("CPURFmessage")->setText(QStringLiteral("old"));
    b.click("CPUTypeASNCmd");
    QCOMPARE(b.sentBody(), hex("3569"));
    QCOMPARE(b.find<QLabel>("CPURFmessage")->text(), QString());
    QCOMPARE(b.lastBox(), QStringLiteral("Failed to obtain serial number "));

    send(b, QStringLiteral("00A404000E315041592E5359532E4444463031"));
    QCOMPARE(b.sentBody(), hex("3565 0013 00A404000E315041592E5359532E4444463031"));
    QCOMPARE(text(b, "BackText"),
             QStringLiteral("6F1A840E315041592E5359532E4444463031A5088801015F2D02656E9000"));
}

void TestTypeABTab::apduResponses_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("response");

    QTest::newRow("select master file") << "00A40000023F00"
                                        << "6F0984023F00A5038801019000";
    QTest::newRow("status word only") << "00A4000C023F00"
                                      << "9000";
    QTest::newRow("unknown instruction") << "00B0000010"
                                         << "6D00";
    QTest::newRow("blanks around a pair") << "00A40000023F 0"
                                          << "6F0984023F00A5038801019000";
}

void TestTypeABTab::apduResponses() {
    QFETCH(QString, command);
    QFETCH(QString, response);

    Bench b;
    b.present(sim::RfChip::CpuTypeA);
    b.click("select_Card");
    b.takeFrames();
    send(b, command);
    QCOMPARE(text(b, "BackText"), response);
    QCOMPARE(b.lastBox(), QStringLiteral("Success"));
}

void TestTypeABTab::withoutCardOrPort() {
    Bench b;
    for (const char *button : {"select_Card", "CPUTypeASNCmd", "SendCmd", "Deselect_Card"}) {
        b.click(button);
        QCOMPARE(b.lastBox(), QStringLiteral("No Card In The Reader"));
    }
    QCOMPARE(b.takeFrames().size(), 4);

    // 251 bytes still fit the frame; the exchange then refuses without a port.
    b.state.m_portSetUp = false;
    b.find<QLineEdit>("SelectText")->setText(QStringLiteral("old"));
    send(b, QString(502, QLatin1Char('0')));
    QCOMPARE(b.lastBox(), QStringLiteral("Comm. Port Setup First"));
    b.click("Deselect_Card");
    QCOMPARE(b.lastBox(), QStringLiteral("Comm. Port Setup First"));
    QCOMPARE(text(b, "SelectText"), QString());
    QCOMPARE(b.takeFrames().size(), 0);
}

QTEST_MAIN(TestTypeABTab)
#include "test_typeabtab.moc"
