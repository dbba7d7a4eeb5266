// Each reader tab's and each dispenser's commands, sent to the simulators,
// come out of the decoded view in words.

#include "devicedrive.h"
#include "sim/dispenserdevice820.h"
#include "sim/dispenserdevice840.h"
#include "sim/readerdevice.h"
#include "traffic/trafficdecoder.h"

#include <QtTest>

using namespace talvex;
using talvex::link::LineKind;

Q_DECLARE_METATYPE(talvex::sim::SimCard)

namespace {

sim::SimCard magneticCard() {
    sim::SimCard card;
    card.kind = sim::CardKind::Magnetic;
    card.magnetic = sim::MagneticCard::testCard();
    card.magnetic.tracks[1].fault = sim::MagneticTrack::Fault::Parity;
    return card;
}

sim::SimCard cardOf(sim::CardKind kind, const QByteArray &typeCode = {}) {
    sim::SimCard card;
    card.kind = kind;
    card.place = sim::CardPlace::IcPosition;
    card.typeCode = typeCode;
    return card;
}

} // namespace

class TestTrafficDecode : public QObject {
    Q_OBJECT

private slots:
    void readerTabs_data();
    void readerTabs();
    void dispensers_data();
    void dispensers();
    void faultsAndStrangers_data();
    void faultsAndStrangers();
    void modelTablesDiffer();
};

void TestTrafficDecode::readerTabs_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<sim::SimCard>("card");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");

    const auto row = [](const char *name, const char *model, const sim::SimCard &card,
                        const char *body, const char *command, const char *status) {
        QTest::newRow(name) << QString::fromLatin1(model) << card << QByteArray(body)
                            << QString::fromLatin1(command) << QString::fromLatin1(status);
    };
    const sim::SimCard none;
    const char *noCard = "P: positive; E: no card in the reader";
    row("device: status, empty KVR-416", "KVR-416", none, "10", "Status query",
        "P: positive; No card or card reader is not inserted in place");
    row("device: card type of a contact CPU card", "KVR-690",
        cardOf(sim::CardKind::ContactCpu, "10"), "11", "Card type detection",
        "P: positive; CPU Card(T=0)");
    row("magnetic: read all tracks", "KVR-690", magneticCard(), "E007", "Read track 1+2+3, ASCII",
        "P: positive; Track 1: read; Track 2: Byte Parity Error(Parity); Track 3: read");
    row("contactless: no card", "KVR-690", none, "50", "Contactless card (PM 30)", noCard);
    row("contact: power on, no card", "KVR-690", none, "30", "IC card power (PM 30)", noCard);
    row("memory card: SLE4442, no card", "KVR-690", none, "80", "SLE4442 memory card (PM 30)",
        noCard);
}

void TestTrafficDecode::readerTabs() {
    QFETCH(QString, model);
    QFETCH(sim::SimCard, card);
    QFETCH(QByteArray, body);
    QFETCH(QString, command);
    QFETCH(QString, status);

    const auto readerModel = sim::readerModelFromName(model);
    QVERIFY(readerModel);
    sim::ReaderDevice reader(*readerModel);
    reader.setMoveTimeMs(0);
    reader.setCard(card);
    const auto e = testing::readerExchange(reader, sim::readerFrame(body), model);
    const auto d = traffic::decodeExchange(e);
    QCOMPARE(d.command, command);
    QCOMPARE(d.status, status);
    QCOMPARE(d.direction, QStringLiteral("SD+RD"));
    QVERIFY(d.known);
}

void TestTrafficDecode::dispensers_data() {
    QTest::addColumn<LineKind>("kind");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("lateStatus");

    const auto row = [](const char *name, LineKind kind, const char *text, const char *command,
                        const char *status, const char *lateStatus = "") {
        QTest::newRow(name) << kind << QByteArray(text) << QString::fromLatin1(command)
                            << QString::fromLatin1(status) << QString::fromLatin1(lateStatus);
    };
    row("820 dispense to the door", LineKind::Dispenser820, "FC4", "Dispense to the door",
        "ACK: accepted");
    row("820 status", LineKind::Dispenser820, "RF", "Status query", "ACK: accepted", "Status 000");
    row("840 status", LineKind::Dispenser840, "15AP", "Status query",
        "Status 00: Waiting for Dispensing");
    row("840 reset", LineKind::Dispenser840, "15RS", "Reset", "ACK: accepted");
}

void TestTrafficDecode::dispensers() {
    QFETCH(LineKind, kind);
    QFETCH(QByteArray, text);
    QFETCH(QString, command);
    QFETCH(QString, status);
    QFETCH(QString, lateStatus);

    sim::DispenserDevice820 d820;
    sim::DispenserDevice840 d840;
    sim::Device &device = kind == LineKind::Dispenser820 ? static_cast<sim::Device &>(d820) : d840;
    QByteArray late;
    const auto e = testing::dispenserExchange(device, kind, text, &late);
    const auto d = traffic::decodeExchange(e);
    QCOMPARE(d.command, command);
    QCOMPARE(d.status, status);
    if (!lateStatus.isEmpty()) {
        link::ExchangeRecord after;
        after.kind = kind;
        after.answer = late;
        const auto l = traffic::decodeExchange(after);
        QCOMPARE(l.direction, QStringLiteral("RD"));
        QCOMPARE(l.status, lateStatus);
    }
}

void TestTrafficDecode::faultsAndStrangers_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("data");

    const auto row = [](const char *name, const char *sent, const char *answer, const char *reply,
                        const char *command, const char *status, const char *data) {
        QTest::newRow(name) << QByteArray::fromHex(sent) << QByteArray::fromHex(answer)
                            << QByteArray::fromHex(reply) << QString::fromLatin1(command)
                            << QString::fromLatin1(status) << QString::fromLatin1(data);
    };
    const char *status = "0200023130 0300";
    const char *query = "Status query";
    row("silence", status, "", "", query, "No answer", "");
    row("NAK", status, "15", "", query, "NAK: the reader refused the frame", "");
    row("ACK only", status, "06", "", query, "ACK, then no reply", "");
    row("short reply", status, "06", "020005503059", query, "Reply cut short: 3 of 7 bytes",
        "50 30 59");
    row("wrong BCC", status, "06", "02000350305903FF", query, "Reply BCC wrong", "59");
    row("negative, undefined command", "0200025A5A0303", "06", "0200034E5A000316",
        "Unknown command 5A 5A", "N: negative, error 00: Undefined Command", "00");
    row("negative, power", status, "06", "0200034E30050379", query,
        "N: negative, error 05: Possible Causes", "05");
}

void TestTrafficDecode::faultsAndStrangers() {
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, reply);
    QFETCH(QString, command);
    QFETCH(QString, status);
    QFETCH(QString, data);

    link::ExchangeRecord e;
    e.model = QStringLiteral("KVR-690");
    e.sent = sent;
    e.answer = answer;
    e.reply = reply;
    const auto d = traffic::decodeExchange(e);
    QCOMPARE(d.command, command);
    QCOMPARE(d.status, status);
    QCOMPARE(d.dataHex, data);
    QCOMPARE(d.direction, answer.isEmpty() ? QStringLiteral("SD") : QStringLiteral("SD+RD"));
}

void TestTrafficDecode::modelTablesDiffer() {
    // Rear ejection is the KVR-690's alone; a swipe reader has no card module.
    QCOMPARE(traffic::readerCommandName(QStringLiteral("KVR-690"), "02"),
             QStringLiteral("Reset and eject to the rear"));
    QCOMPARE(traffic::readerCommandName(QStringLiteral("KVR-638"), "02"), QString());
    QCOMPARE(traffic::readerCommandName(QStringLiteral("KVR-416"), "50"), QString());
    QCOMPARE(traffic::dispenserCommandName(LineKind::Dispenser840, "FC4"), QString());
    QCOMPARE(traffic::dispenserCommandName(LineKind::Dispenser820, "CS3"),
             QStringLiteral("Change baud rate to 9600"));
}

QTEST_GUILESS_MAIN(TestTrafficDecode)
#include "tst_trafficdecode.moc"
