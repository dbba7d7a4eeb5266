// The simulated reader's control commands, model by model: the reply bytes a
// program decodes and what each command does to the card and the settings.

#include "link/frame.h"
#include "sim/readerdevice.h"

#include <QtTest>

using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::ReaderModel)
Q_DECLARE_METATYPE(talvex::sim::SimCard)
Q_DECLARE_METATYPE(talvex::sim::CardPlace)

namespace {

const QByteArray kEnq("\x05");

// Body of the reply the reader gives to body, exchanged at time t (µs).
QByteArray exchange(ReaderDevice &reader, const QByteArray &body, qint64 t = 0) {
    reader.feed(talvex::link::buildReaderFrame(body), 9600, t);
    if (reader.takeOutput(t) != QByteArray("\x06"))
        return "no ACK";
    reader.feed(kEnq, 9600, t);
    const QByteArray frame = reader.takeOutput(t + reader.moveTimeMs() * 1000);
    return frame.size() < 5 ? QByteArray("no reply") : frame.mid(3, frame.size() - 5);
}

QByteArray negative(char pm, char code) {
    return QByteArray("N") + pm + code;
}

SimCard card(CardPlace place) {
    return SimCard{CardKind::Plain, place, {}};
}

constexpr ReaderModel k416 = ReaderModel::Kvr416, k523 = ReaderModel::Kvr523,
                      k527 = ReaderModel::Kvr527, k634 = ReaderModel::Kvr634,
                      k638 = ReaderModel::Kvr638, k690 = ReaderModel::Kvr690;

} // namespace

class TestReaderControlSim : public QObject {
    Q_OBJECT

private slots:
    void modelsAnswerOnlyTheirCommands();
    void commandsPerModel_data();
    void commandsPerModel();
    void entryControlChangesTheStatus();
    void movesTakeTheirTime();
    void speedChangesAfterTheReply();
    void readingMethodAndSerialNumber();
};

void TestReaderControlSim::modelsAnswerOnlyTheirCommands() {
    // Per model (KVR-416, 523, 527, 634, 638, 690): P a positive reply, else
    // the negative reply's code: 0 "Undefined Command" (00h), 1 "Parameter
    // Wrong" (01h), 4 "Command Data Wrong" (04h).
    struct Row {
        QByteArray body;
        const char *answers;
    };
    const Row rows[] = {
        {"00", "PPPPPP"},
        {"01", "11PPPP"},
        {"02", "11111P"},
        {"0:", "0PPPPP"},
        {"10", "PPPPPP"},
        {"1.", "PPPPPP"},
        {"11", "PPPPPP"},
        {"20", "00PPPP"},
        {"21", "0011PP"},
        {"2.", "00111P"},
        {"/1", "000P44"},
        {"/11", "0004PP"},
        {".0", "00000P"},
        {"43", "PPPPPP"},
        {"F0", "0400PP"},
        {"F01171", "0P0044"},
        {QByteArray("I\x01\x01"), "0000PP"},
        {QByteArray("\x80") + "01", "0PPPPP"},
        {QByteArray("\x81") + "0\x01\x01", "0PPPPP"},
        {"Z0", "000000"},
    };
    const ReaderModel models[] = {k416, k523, k527, k634, k638, k690};
    for (const Row &row : rows) {
        for (int m = 0; m < 6; ++m) {
            ReaderDevice reader(models[m]);
            reader.setMoveTimeMs(0);
            const QByteArray reply = exchange(reader, row.body);
            const char answer = row.answers[m];
            const QByteArray expected = answer == 'P' ? QByteArray("P") + row.body.at(1)
                                                      : negative(row.body.at(1), answer - '0');
            QVERIFY2(reply.startsWith(expected),
                     qPrintable(QStringLiteral("%1 on model %2: %3")
                                    .arg(QString::fromLatin1(row.body.toHex(' ')))
                                    .arg(m)
                                    .arg(QString::fromLatin1(reply.toHex(' ')))));
            if (answer != 'P')
                QCOMPARE(reply.size(), 3);
        }
    }
}

void TestReaderControlSim::commandsPerModel_data() {
    QTest::addColumn<ReaderModel>("model");
    QTest::addColumn<SimCard>("before");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<SimCard>("after");

    const SimCard none;
    const SimCard inside = card(CardPlace::Inside);
    auto row = [&](const char *name, ReaderModel m, SimCard b, QByteArray body, QByteArray reply,
                   SimCard a) { QTest::newRow(name) << m << b << body << reply << a; };
    // A query: the card stays where it is.
    auto query = [&](const char *name, ReaderModel m, SimCard c, QByteArray body,
                     QByteArray reply) { row(name, m, c, body, reply, c); };

    // Which model refuses which command is modelsAnswerOnlyTheirCommands' table.
    // Reset: "0" keeps the card, "1" ejects it to the front, "2" to the rear.
    row("416 reset 0", k416, inside, "00", "P0KVR416 Ver2.0", inside);
    row("527 reset 1", k527, inside, "01", "P1KVR527 V2.1", card(CardPlace::Front));
    row("638 reset 1", k638, inside, "01", "P1KVR638 V3.0", card(CardPlace::Front));
    row("690 reset 1", k690, inside, "01", "P1KVR690 V3.1", card(CardPlace::Front));
    row("690 reset 2", k690, inside, "02", "P2KVR690 V3.1", card(CardPlace::Rear));
    row("690 reset 2 empty", k690, none, "02", "P2KVR690 V3.1", none);
    row("690 reset 3", k690, inside, "03", negative('3', 1), inside);

    // Eject: "Y", "E" for no card.
    row("527 eject", k527, inside, "20", "P0Y", card(CardPlace::Front));
    row("527 eject empty", k527, none, "20", "P0E", none);
    row("638 eject hold", k638, inside, "21", "P1Y", card(CardPlace::FrontHold));
    row("638 eject at front", k638, card(CardPlace::Front), "20", "P0E", card(CardPlace::Front));

    // KVR-690 moves.
    row("690 front", k690, inside, "20", "P0Y", card(CardPlace::Front));
    row("690 rf", k690, inside, "2.", "P.Y", card(CardPlace::RfPosition));
    row("690 ic", k690, inside, "2/", "P/Y", card(CardPlace::IcPosition));
    row("690 rear hold", k690, inside, "22", "P2Y", card(CardPlace::RearHold));
    row("690 rear", k690, inside, "23", "P3Y", card(CardPlace::Rear));
    row("690 abnormal out", k690, inside, "25", "P5Y", none);
    row("690 ic empty", k690, none, "2/", "P/E", none);
    row("690 ic long card", k690, card(CardPlace::LongCard), "2/", "P/W",
        card(CardPlace::LongCard));
    row("690 clean empty", k690, none, "27", "P7Y", none);
    row("690 clean with card", k690, inside, "27", "P7N", inside);
    row("690 move 4", k690, inside, "24", negative('4', 1), inside);

    // Entry control: the 634 by one byte, the 638 and 690 by two.
    row("634 prohibit", k634, none, "/1", "P1Y", none);
    row("638 permit all", k638, none, "/31", "P3Y", none);
    row("638 by signal", k638, none, "/41", negative('4', 1), none);
    row("690 front 4 rear 1", k690, none, "/40", "P40Y", none);

    // Stop position: KVR-690 only, "0" … "5".
    row("690 stop rf", k690, none, ".2", "P2Y", none);
    row("690 stop 6", k690, none, ".6", negative('6', 1), none);

    // Lights: the shutter light on the 638/690, the three-colour light on all
    // but the 416.
    row("638 shutter on", k638, none, "F0", "P0Y", none);
    row("690 glitter", k690, none, QByteArray("I\x04\xFF"), "P\x04Y", none);
    row("523 red on", k523, none, QByteArray("\x80") + "01", "P0Y", none);
    row("634 colour 3", k634, none, QByteArray("\x80") + "31", negative('3', 1), none);
    row("527 orange glitter", k527, none, QByteArray("\x81") + "2\x01\x02", "P2Y", none);

    row("416 speed 6", k416, none, "46", negative('6', 1), none);
    row("690 status X", k690, none, "1X", negative('X', 1), none);
    row("body too short to carry a PM", k634, none, "0", negative('0', 0), none);

    // Status: the card's place, then the entries of the models that have them.
    query("416 status empty", k416, none, "10", "P0N");
    query("416 status card", k416, inside, "10", "P0Y");
    query("527 status card", k527, inside, "10", "P0Y");
    query("523 status empty", k523, none, "10", "P0N2");
    query("523 status card", k523, inside, "10", "P0Y0");
    query("523 status short", k523, card(CardPlace::Front), "10", "P0Z0");
    query("634 status empty", k634, none, "10", "P0NY");
    query("634 status card", k634, inside, "10", "P0YY");
    query("634 status front", k634, card(CardPlace::Front), "10", "P0OY");
    query("638 status long", k638, card(CardPlace::LongCard), "10", "P0FJJ");
    query("638 status front", k638, card(CardPlace::Front), "10", "P0HJJ");
    query("638 status front hold", k638, card(CardPlace::FrontHold), "10", "P0IJJ");
    query("638 status inside", k638, inside, "10", "P0JJJ");
    query("638 status ic", k638, card(CardPlace::IcPosition), "10", "P0KJJ");
    query("638 status rear hold", k638, card(CardPlace::RearHold), "10", "P0LJJ");
    query("638 status rear", k638, card(CardPlace::Rear), "10", "P0MJJ");
    query("638 status empty", k638, none, "10", "P0NJJ");
    query("690 status rf", k690, card(CardPlace::RfPosition), "10", "P0JJJ");

    // Sensors: four bytes on the KVR-638; six, the shutter and the card in the
    // shutter on the KVR-690; none on the others.
    query("638 sensors empty", k638, none, "1.", "P.0000");
    query("638 sensors front", k638, card(CardPlace::Front), "1.", "P.1000");
    query("638 sensors inside", k638, inside, "1.", "P.0111");
    query("690 sensors empty", k690, none, "1.", "P.00000010");
    query("690 sensors front", k690, card(CardPlace::Front), "1.", "P.10000011");
    query("690 sensors ic", k690, card(CardPlace::IcPosition), "1.", "P.00111010");
    query("690 sensors rear", k690, card(CardPlace::Rear), "1.", "P.00000110");
    query("634 no sensors", k634, inside, "1.", "P.Y");

    // Card type: the chip data of the card, when the reader can reach it.
    const SimCard s50{CardKind::Plain, CardPlace::Inside, "00"};
    query("638 type empty", k638, none, "11", "P1N0");
    query("638 type unknown", k638, inside, "11", "P1N1");
    query("638 type S50", k638, s50, "11", "P100");
    query("638 type at the front", k638, card(CardPlace::Front), "11", "P1N0");
    query("690 type off the IC position", k690, s50, "11", "P1N2");
    query("690 type S50 at IC", k690, {CardKind::Plain, CardPlace::IcPosition, "00"}, "11", "P100");
    query("690 type CPU at RF", k690, {CardKind::Plain, CardPlace::RfPosition, "11"}, "11", "P111");
    query("416 type S50", k416, s50, "11", "P100");
}

void TestReaderControlSim::commandsPerModel() {
    QFETCH(ReaderModel, model);
    QFETCH(SimCard, before);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, reply);
    QFETCH(SimCard, after);

    ReaderDevice reader(model);
    reader.setMoveTimeMs(0);
    reader.setCard(before);
    QCOMPARE(exchange(reader, body), reply);
    QCOMPARE(reader.card(), after);
}

void TestReaderControlSim::entryControlChangesTheStatus() {
    struct Step {
        ReaderModel model;
        QByteArray entry;
        QByteArray status; // reply bytes 2 on afterwards
    };
    const Step steps[] = {
        {k634, "/1", "NN"},   {k634, "/0", "NY"},   {k638, "/11", "NNN"},
        {k638, "/21", "NIN"}, {k638, "/30", "NJJ"}, {k690, "/11", "NNN"},
        {k690, "/20", "NIJ"}, {k690, "/30", "NJJ"}, {k690, "/41", "NKN"},
    };
    for (const Step &step : steps) {
        ReaderDevice reader(step.model);
        exchange(reader, step.entry);
        QCOMPARE(exchange(reader, "10"), QByteArray("P0") + step.status);
    }
    // Sensors of the KVR-690: the shutter closes with the entry.
    ReaderDevice reader(k690);
    exchange(reader, "/10");
    QCOMPARE(exchange(reader, "1."), QByteArray("P.00000000"));
    // A card waiting at the mouth comes in once the front opens.
    reader.setMoveTimeMs(0);
    reader.setCard(card(CardPlace::Front));
    exchange(reader, "/30");
    QCOMPARE(reader.card(), card(CardPlace::Inside));
}

void TestReaderControlSim::movesTakeTheirTime() {
    ReaderDevice reader(k690);
    reader.setMoveTimeMs(250);
    reader.setCard(card(CardPlace::Inside));
    reader.feed(talvex::link::buildReaderFrame("20"), 9600, 0);
    QCOMPARE(reader.takeOutput(0), QByteArray("\x06"));
    reader.feed(kEnq, 9600, 1000);
    QCOMPARE(reader.takeOutput(250'999), QByteArray());
    QCOMPARE(reader.takeOutput(251'000), QByteArray::fromHex("020003503059033B"));
    // A command that moves nothing answers at once.
    reader.feed(talvex::link::buildReaderFrame("10"), 9600, 300'000);
    reader.takeOutput(300'000);
    reader.feed(kEnq, 9600, 300'000);
    QCOMPARE(reader.takeOutput(300'000), QByteArray::fromHex("0200055030484A4A032C"));
}

void TestReaderControlSim::speedChangesAfterTheReply() {
    ReaderDevice reader(k638);
    QCOMPARE(exchange(reader, "44"), QByteArray("P4Y"));
    QCOMPARE(reader.baud(), 19200);
    ReaderDevice other(k690);
    QCOMPARE(exchange(other, "45"), QByteArray("P5Y"));
    QCOMPARE(other.baud(), 38400);
}

void TestReaderControlSim::readingMethodAndSerialNumber() {
    ReaderDevice reader(k523);
    QVERIFY(!reader.control().initiativeUpload());
    // Result at reply byte 6, after the four settings.
    QCOMPARE(exchange(reader, "F01071"), QByteArray("P01071Y"));
    QVERIFY(reader.control().initiativeUpload());
    QCOMPARE(reader.control().readWhilePulling, '1');
    QCOMPARE(exchange(reader, "F01171"), QByteArray("P01171Y"));
    QVERIFY(!reader.control().initiativeUpload());
    QCOMPARE(exchange(reader, "F0117"), negative('0', 4));
    QCOMPARE(exchange(reader, "F01181"), negative('0', 1));

    // Serial number: "Y", the length, the characters.
    reader.control().serialNumber = "SN-0042";
    QCOMPARE(exchange(reader, "0:"), QByteArray("P:Y\x07SN-0042"));
    reader.control().serialNumber.clear();
    QCOMPARE(exchange(reader, "0:"), QByteArray("P:Y\x00", 4));
    // A new model is a new reader, but it keeps the serial number it was given.
    reader.control().serialNumber = "SN-7";
    reader.setModel(k690);
    QCOMPARE(exchange(reader, "0:"), QByteArray("P:Y\x04SN-7"));
}

QTEST_GUILESS_MAIN(TestReaderControlSim)
#include "tst_readercontrolsim.moc"
