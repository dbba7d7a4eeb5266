// The card application behind the simulated processor cards: each command APDU
// and the response APDU it gets.

#include "sim/apduresponder.h"

#include <QtTest>

using talvex::sim::ApduResponder;

class TestApduResponder : public QObject {
    Q_OBJECT

private slots:
    void responses_data();
    void responses();
    void challengeIsEightFreshBytes();
};

void TestApduResponder::responses_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("response");

    const auto row = [](const char *name, const char *command, const char *response) {
        QTest::newRow(name) << QByteArray::fromHex(command) << QByteArray::fromHex(response);
    };
    row("select master file with Le", "00A40000023F0000",
        "6F0984023F00A503880101"
        "9000");
    row("select master file without FCI", "00A4000C023F00", "9000");
    row("select payment directory", "00A404000E315041592E5359532E4444463031",
        "6F1A840E315041592E5359532E4444463031A5088801015F2D02656E"
        "9000");
    row("select another file", "00A40000022F00", "6D00");
    row("select another name", "00A404000E315041592E5359532E4444463032", "6D00");
    row("header only", "00A4", "6700");
    row("Lc longer than the data", "00A40000053F00", "6700");
}

void TestApduResponder::responses() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, response);
    QCOMPARE(ApduResponder().respond(command).toHex(), response.toHex());
}

void TestApduResponder::challengeIsEightFreshBytes() {
    const ApduResponder card;
    const QByteArray first = card.respond(QByteArray::fromHex("0084000008"));
    const QByteArray second = card.respond(QByteArray::fromHex("0084000008"));
    QCOMPARE(first.size(), 10);
    QCOMPARE(first.right(2).toHex(), QByteArray("9000"));
    QCOMPARE(second.size(), 10);
    QVERIFY(first.left(8) != second.left(8));
}

QTEST_MAIN(TestApduResponder)
#include "test_apduresponder.moc"
