// The simulated reader's contact IC module: the CPU card in the slot and the
// SAMs, command by command, per model.

#include "link/frame.h"
#include "sim/readerdevice.h"

#include <QtTest>

using namespace talvex::sim;

namespace {

// One exchange with the device on its own: frame, ACK, ENQ, reply body.
QByteArray exchange(ReaderDevice &reader, const QByteArray &body, qint64 &t) {
    t += 100'000;
    reader.feed(talvex::link::buildReaderFrame(body), 9600, t);
    if (reader.takeOutput(t) != QByteArray("\x06"))
        return "no ACK";
    reader.feed("\x05", 9600, t);
    t += 1'000'000; // past the time the card type detection spends
    const QByteArray reply = reader.takeOutput(t);
    if (reply.size() < 5 || reply != talvex::link::buildReaderFrame(reply.mid(3, reply.size() - 5)))
        return "no reply frame";
    return reply.mid(3, reply.size() - 5);
}

// The answers to reset, as a card reader's log would show them; blanks in the
// hexadecimal are for reading only.
const char *const kCpuAtrT0 = "3B6A0000 54414C56455820435055";
const char *const kCpuAtrT1 = "3BEA00008131FE45 54414C56455820435055 95";
const char *const kSam3AtrT0 = "3B6B0000 54414C5645582053414D33";
const char *const kSam5AtrT1 = "3BEB00008131FE45 54414C5645582053414D35 B8";
// SELECT of the master file and the answer of the card application.
const char *const kSelectMf = "00A40000023F00";
const char *const kMfAnswer = "6F0984023F00A503880101 9000";

struct Step {
    QByteArray body;
    QByteArray reply;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestContactCpuCard : public QObject {
    Q_OBJECT

private slots:
    void conversations_data();
    void conversations();
    void readersWithoutTheModuleRefuseIt_data();
    void readersWithoutTheModuleRefuseIt();
};

void TestContactCpuCard::conversations_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("place");
    QTest::addColumn<bool>("t1");
    QTest::addColumn<QList<Step>>("steps");

    const auto card = [](const char *name, ReaderModel model, CardKind kind, CardPlace place,
                         bool t1, QList<Step> steps) {
        QTest::newRow(name) << int(model) << int(kind) << int(place) << t1 << steps;
    };
    using M = ReaderModel;
    using K = CardKind;
    using P = CardPlace;
    const QByteArray selectT0 = QByteArray("3731 0007") + kSelectMf;
    const QByteArray selectT1 = QByteArray("3732 0007") + kSelectMf;
    const QByteArray mfAnswer = QByteArray("50315900 0D") + kMfAnswer;
    const QByteArray t0Reset = QByteArray("503059000E") + kCpuAtrT0;

    card("T=0 cold reset, then SELECT", M::Kvr638, K::ContactCpu, P::Inside, false,
         {{"3131", "5031 3130"}, // card type: CPU card, T=0
          {"373030", t0Reset},
          {selectT0, mfAnswer}});
    card("T=1 cold reset in ISO mode, then SELECT as T=1", M::Kvr690, K::ContactCpu, P::IcPosition,
         true,
         {{"3131", "5031 3131"}, // card type: CPU card, T=1
          {"373031", QByteArray("5030 5A 0013") + kCpuAtrT1},
          {selectT1, QByteArray("50325900 0D") + kMfAnswer}});
    card("APDU announced in the wrong protocol fails", M::Kvr634, K::ContactCpu, P::Inside, true,
         {{"373030", QByteArray("50305A0013") + kCpuAtrT1}, {selectT0, "50314E"}});
    card("APDU before any reset fails", M::Kvr527, K::ContactCpu, P::Inside, false,
         {{selectT0, "50314E"}});
    card("power on resets the card", M::Kvr527, K::ContactCpu, P::Inside, false,
         {{"3330", "503059"}, {selectT0, mfAnswer}});
    card("warm reset needs a powered card", M::Kvr638, K::ContactCpu, P::Inside, false,
         {{"372F", "502F4E"}, {"373030", t0Reset}, {"372F", QByteArray("502F59000E") + kCpuAtrT0}});
    card("power off ends the session", M::Kvr690, K::ContactCpu, P::IcPosition, false,
         {{"373030", t0Reset}, {"3331", "503159"}, {selectT0, "50314E"}});
    card("GET CHALLENGE of a wrong length", M::Kvr638, K::ContactCpu, P::Inside, false,
         {{"373030", t0Reset}, {"37310005 0084000004", "503159 0002 6C08"}});
    card("no card", M::Kvr638, K::None, P::Inside, false,
         {{"3330", "503045"}, {"373030", "503045"}, {selectT0, "503145"}});
    card("card at the front", M::Kvr638, K::ContactCpu, P::Front, false,
         {{"3330", "503057"}, {"373030", "503057"}, {"3331", "503157"}});
    card("KVR-690 card inside but not at the IC position", M::Kvr690, K::ContactCpu, P::Inside,
         false, {{"373030", "503057"}});
    card("a card without a chip gets power but no ATR", M::Kvr638, K::Plain, P::Inside, false,
         {{"3330", "503059"}, {"373030", "50304E"}, {selectT0, "50314E"}});
    card("length field that disagrees", M::Kvr638, K::ContactCpu, P::Inside, false,
         {{"373030", t0Reset}, {QByteArray("3731 0008") + kSelectMf, "4E3104"}});
    card("unknown reset mode and parameter", M::Kvr638, K::ContactCpu, P::Inside, false,
         {{"373032", "4E3001"}, {"3739", "4E3901"}, {"3332", "4E3201"}});

    card("SAM 3 reset, then the SELECT of the example", M::Kvr638, K::None, P::Inside, false,
         {{"3D303230", QByteArray("503032 59 000F") + kSam3AtrT0},
          {QByteArray("3D3132 0007") + kSelectMf, QByteArray("503132 59 000D") + kMfAnswer}});
    card("SAM 5 in T=1 at 3 V", M::Kvr690, K::None, P::Inside, false,
         {{"3D2F3431", QByteArray("502F34 5A 0014") + kSam5AtrT1},
          {QByteArray("3D3134 0007") + kSelectMf, "5031344E"}});
    card("SAM APDU before its reset", M::Kvr638, K::None, P::Inside, false,
         {{QByteArray("3D3131 0007") + kSelectMf, "5031314E"}});
    card("empty SAM socket", M::Kvr638, K::None, P::Inside, false, {{"3D303630", "5030364E"}});
    card("sockets 9 to 14 do not exist", M::Kvr638, K::None, P::Inside, false,
         {{"3D303830", "4E3001"}, {"3D302F30", "4E3001"}});
    // The power off names no socket: every SAM loses its power and its session.
    card("SAMs need no card in the slot, SAM power off", M::Kvr527, K::None, P::Inside, false,
         {{"3D303030", "503030 59 000F 3B6B0000 54414C5645582053414D31"},
          {"3D303730", "503037 59 000F 3B6B0000 54414C5645582053414D38"},
          {QByteArray("3D3130 0007") + kSelectMf, QByteArray("503130 59 000D") + kMfAnswer},
          {"4A31", "503159"},
          {QByteArray("3D3130 0007") + kSelectMf, "5031304E"},
          {QByteArray("3D3137 0007") + kSelectMf, "5031374E"}});
}

void TestContactCpuCard::conversations() {
    QFETCH(int, model);
    QFETCH(int, kind);
    QFETCH(int, place);
    QFETCH(bool, t1);
    QFETCH(QList<Step>, steps);

    ReaderDevice reader(static_cast<ReaderModel>(model));
    SimCard card =
        contactCpuCard(t1 ? CardProtocol::T1 : CardProtocol::T0, static_cast<CardPlace>(place));
    if (static_cast<CardKind>(kind) != CardKind::ContactCpu)
        card = SimCard{static_cast<CardKind>(kind), card.place};
    reader.setCard(card);
    reader.sams()[4].chip.protocol = CardProtocol::T1; // SAM 5
    reader.sams()[6].present = false;                  // SAM 7

    qint64 t = 0;
    for (const Step &step : steps) {
        const QByteArray expected = QByteArray(step.reply).replace(' ', "").toUpper();
        QCOMPARE(exchange(reader, QByteArray::fromHex(step.body), t).toHex().toUpper(), expected);
    }
}

void TestContactCpuCard::readersWithoutTheModuleRefuseIt_data() {
    QTest::addColumn<int>("model");
    QTest::newRow("KVR-416") << int(ReaderModel::Kvr416);
    QTest::newRow("KVR-523") << int(ReaderModel::Kvr523);
}

void TestContactCpuCard::readersWithoutTheModuleRefuseIt() {
    QFETCH(int, model);
    ReaderDevice reader(static_cast<ReaderModel>(model));
    reader.setCard(contactCpuCard(CardProtocol::T0, CardPlace::Inside));
    qint64 t = 0;
    // "Undefined Command" for each of the module's command codes.
    QCOMPARE(exchange(reader, "30", t), QByteArray("N0\x00", 3));
    QCOMPARE(exchange(reader, "700", t), QByteArray("N0\x00", 3));
    QCOMPARE(exchange(reader, "=000", t), QByteArray("N0\x00", 3));
    QCOMPARE(exchange(reader, "J1", t), QByteArray("N1\x00", 3));
}

QTEST_MAIN(TestContactCpuCard)
#include "test_contactcpucard.moc"
