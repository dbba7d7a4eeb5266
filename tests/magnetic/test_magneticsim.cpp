// The simulated reader's magnetic side, driven directly with explicit time:
// the read command per model and per track state, swipes, the KVR-523's
// initiative uploading and the card feeder.

#include "sim/magneticcard.h"
#include "sim/readerdevice.h"

#include <QtTest>

using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::MagneticTrack::Fault)

namespace {

constexpr qint64 kMs = 1000; // devices count microseconds

const QByteArray kAck("\x06");
const QByteArray kEnq("\x05");
const QByteArray kEot("\x04");

const QByteArray kTrack1 = "%B4000001234567899^TALVEX/TEST CARD^2812101000000000000000?";
const QByteArray kTrack2 = ";4000001234567899=28121010000000000000?";
const QByteArray kTrack3 = ";011234567890123445=000978100000000000000000000000000000000000000?";

QByteArray frameOf(const QByteArray &body) {
    QByteArray f =
        QByteArray("\x02") + char(body.size() >> 8) + char(body.size() & 0xFF) + body + '\x03';
    char bcc = 0;
    for (char c : f)
        bcc ^= c;
    return f + bcc;
}

QByteArray bodyOf(const QByteArray &frame) {
    return frame.size() < 5 ? QByteArray() : frame.mid(3, frame.size() - 5);
}

// One command exchange at time t: frame, ACK, ENQ, reply; the reply body.
QByteArray exchange(ReaderDevice &reader, const QByteArray &body, qint64 t) {
    reader.feed(frameOf(body), 9600, t);
    if (reader.takeOutput(t) != kAck)
        return "no ACK";
    reader.feed(kEnq, 9600, t);
    return bodyOf(reader.takeOutput(t));
}

SimCard magneticInside(const MagneticCard &tracks = MagneticCard::testCard()) {
    SimCard card;
    card.kind = CardKind::Magnetic;
    card.magnetic = tracks;
    return card;
}

} // namespace

class TestMagneticSim : public QObject {
    Q_OBJECT

private slots:
    void readsTheCardInside();
    void trackStates_data();
    void trackStates();
    void noCardToRead();
    void swipeReadersReadTheLastSwipe();
    void statusShowsTheCard();
    void feederReplacesEjectedCard();
    void initiativeUpload();
    void uploadGivesUpWithEot();
    void commandEndsAnUploadRequest();
    void feederSwipesAgainAfterEachUpload();
};

void TestMagneticSim::readsTheCardInside() {
    for (ReaderModel model : {ReaderModel::Kvr634, ReaderModel::Kvr638, ReaderModel::Kvr690}) {
        ReaderDevice reader(model);
        reader.setCard(magneticInside());
        QCOMPARE(exchange(reader, "E007", 0),
                 "P0Y07Y" + kTrack1 + "\x1FY" + kTrack2 + "\x1FY" + kTrack3);
        // Only track 2, in BIN form: the others report "no read operation".
        QCOMPARE(exchange(reader, "E012", 0), QByteArray("P0Y12\x00\x1FY", 8) +
                                                  kTrack2.toHex().toUpper() +
                                                  QByteArray("\x1F\x00", 2));
        QCOMPARE(exchange(reader, "E000", 0), QByteArray("P0Y00\x00\x1F\x00\x1F\x00", 10));
        // A mode or track code the reader does not know.
        QCOMPARE(exchange(reader, "E027", 0), QByteArray("N0\x01", 3));
        QCOMPARE(exchange(reader, "E008", 0), QByteArray("N0\x01", 3));
    }
}

void TestMagneticSim::trackStates_data() {
    using Fault = MagneticTrack::Fault;
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("section");
    QTest::newRow("read") << Fault::None << QByteArray(";1?") << QByteArray("Y;1?");
    QTest::newRow("E1") << Fault::NoStart << QByteArray(";1?") << QByteArray("N\xE1");
    QTest::newRow("E2") << Fault::NoEnd << QByteArray(";1?") << QByteArray("N\xE2");
    QTest::newRow("E3") << Fault::Parity << QByteArray(";1?") << QByteArray("N\xE3");
    QTest::newRow("E4") << Fault::Lrc << QByteArray(";1?") << QByteArray("N\xE4");
    QTest::newRow("E5") << Fault::Blank << QByteArray(";1?") << QByteArray("N\xE5");
    QTest::newRow("nothing recorded") << Fault::None << QByteArray() << QByteArray("N\xE5");
    QTest::newRow("not read") << Fault::NotRead << QByteArray(";1?") << QByteArray("O");
}

void TestMagneticSim::trackStates() {
    QFETCH(MagneticTrack::Fault, fault);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, section);
    MagneticCard tracks;
    tracks.tracks = {MagneticTrack{"%A?", {}}, MagneticTrack{data, fault},
                     MagneticTrack{";2?", {}}};
    ReaderDevice reader(ReaderModel::Kvr690);
    reader.setCard(magneticInside(tracks));
    QCOMPARE(exchange(reader, "E007", 0), "P0Y07Y%A?\x1F" + section + "\x1FY;2?");
}

void TestMagneticSim::noCardToRead() {
    ReaderDevice reader(ReaderModel::Kvr690);
    QCOMPARE(exchange(reader, "E007", 0), QByteArray("P0E"));
    // A card pushed out at either end is no longer under the head.
    for (CardPlace place : {CardPlace::Front, CardPlace::Rear}) {
        SimCard out = magneticInside();
        out.place = place;
        reader.setCard(out);
        QCOMPARE(exchange(reader, "E007", 0), QByteArray("P0E"));
    }
    // A card without a stripe reads blank on every track asked for.
    reader.setCard(SimCard{CardKind::Plain, CardPlace::Inside, {}});
    QCOMPARE(exchange(reader, "E003", 0), QByteArray("P0Y03\x00\x1F\x00\x1FN\xE5", 11));
}

void TestMagneticSim::swipeReadersReadTheLastSwipe() {
    for (ReaderModel model : {ReaderModel::Kvr416, ReaderModel::Kvr523}) {
        ReaderDevice reader(model);
        QCOMPARE(exchange(reader, "E001", 0), QByteArray("P0E"));
        reader.magneticHead().requestSwipe();
        QCOMPARE(reader.takeOutput(10 * kMs), QByteArray()); // no upload asked for
        QCOMPARE(exchange(reader, "E002", 20 * kMs),
                 QByteArray("P0Y02\x00\x1FY", 8) + kTrack2 + QByteArray("\x1F\x00", 2));
        QCOMPARE(exchange(reader, "E9", 30 * kMs), QByteArray("P9Y"));
        QCOMPARE(exchange(reader, "E001", 40 * kMs), QByteArray("P0E"));
    }
}

void TestMagneticSim::statusShowsTheCard() {
    const struct {
        ReaderModel model;
        QByteArray status;
    } rows[] = {
        {ReaderModel::Kvr634, "P0YY"},
        // Three bytes from the KVR-638 too: the automatic test waits for ten.
        {ReaderModel::Kvr638, "P0JJJ"},
        {ReaderModel::Kvr690, "P0JJJ"},
    };
    for (const auto &row : rows) {
        ReaderDevice reader(row.model);
        reader.setCard(magneticInside());
        QCOMPARE(exchange(reader, "10", 0), row.status);
    }
}

void TestMagneticSim::feederReplacesEjectedCard() {
    // Ejected to the front, then to the rear.
    for (const auto &[eject, ejected] : {std::pair<QByteArray, QByteArray>{"20", "P0Y"},
                                         std::pair<QByteArray, QByteArray>{"23", "P3Y"}}) {
        ReaderDevice reader(ReaderModel::Kvr690);
        reader.setMoveTimeMs(0);
        MagneticCard other = MagneticCard::testCard();
        other.tracks[1].data = ";77?";
        reader.setCard(magneticInside());
        reader.magneticHead().setNextCard(other);
        reader.magneticHead().setFeeder(true, 500);

        QCOMPARE(exchange(reader, eject, 1000 * kMs), ejected);
        QCOMPARE(exchange(reader, "E007", 1000 * kMs), QByteArray("P0E"));
        exchange(reader, "10", 1000 * kMs);
        QCOMPARE(reader.nextWakeUs(), 1500 * kMs);
        QCOMPARE(exchange(reader, "E007", 1499 * kMs), QByteArray("P0E"));
        QCOMPARE(exchange(reader, "10", 1500 * kMs), QByteArray("P0JJJ"));
        QCOMPARE(reader.card().magnetic.tracks[1].data, QByteArray(";77?"));
        // A card inside stays: the feeder waits for the next eject.
        QCOMPARE(reader.nextWakeUs(), qint64(-1));

        // Off, it leaves the reader empty.
        reader.magneticHead().setFeeder(false, 500);
        QCOMPARE(exchange(reader, "20", 2000 * kMs), QByteArray("P0Y"));
        QCOMPARE(exchange(reader, "10", 9000 * kMs), QByteArray("P0HJJ"));
    }
}

void TestMagneticSim::initiativeUpload() {
    ReaderDevice reader(ReaderModel::Kvr523);
    // Reading method: ASCII, uploading on ("0"), tracks 2 and 3, read while inserting.
    QCOMPARE(exchange(reader, "F00050", 0), QByteArray("P00050Y"));
    QVERIFY(reader.control().initiativeUpload());

    reader.magneticHead().requestSwipe();
    QCOMPARE(reader.nextWakeUs(), qint64(0));
    QCOMPARE(reader.takeOutput(100 * kMs), kEnq);
    reader.feed(kAck, 9600, 150 * kMs);
    QCOMPARE(reader.takeOutput(150 * kMs),
             frameOf(QByteArray("P0Y05\x00\x1FY", 8) + kTrack2 + "\x1FY" + kTrack3));
    // Nothing further: the reader waits for the next card.
    QCOMPARE(reader.takeOutput(5000 * kMs), QByteArray());

    // Uploading off: a swipe is kept for the read command instead.
    QCOMPARE(exchange(reader, "F00150", 6000 * kMs), QByteArray("P00150Y"));
    reader.magneticHead().requestSwipe();
    QCOMPARE(reader.takeOutput(6100 * kMs), QByteArray());
    QVERIFY(exchange(reader, "E003", 6200 * kMs).startsWith("P0Y03"));
}

void TestMagneticSim::uploadGivesUpWithEot() {
    ReaderDevice reader(ReaderModel::Kvr523);
    exchange(reader, "F00070", 0);
    reader.magneticHead().requestSwipe();
    QCOMPARE(reader.takeOutput(10 * kMs), kEnq);
    QCOMPARE(reader.takeOutput(1009 * kMs), QByteArray());
    QCOMPARE(reader.takeOutput(1010 * kMs), kEnq);
    QCOMPARE(reader.takeOutput(2010 * kMs), kEnq);
    QCOMPARE(reader.takeOutput(3010 * kMs), kEot);
    // A late ACK gets nothing: the swipe is lost.
    reader.feed(kAck, 9600, 3100 * kMs);
    QCOMPARE(reader.takeOutput(3100 * kMs), QByteArray());
    QCOMPARE(reader.nextWakeUs(), qint64(-1));
}

void TestMagneticSim::commandEndsAnUploadRequest() {
    ReaderDevice reader(ReaderModel::Kvr523);
    exchange(reader, "F00070", 0);
    reader.magneticHead().requestSwipe();
    QCOMPARE(reader.takeOutput(10 * kMs), kEnq);
    QCOMPARE(exchange(reader, "F00170", 20 * kMs), QByteArray("P00170Y"));
    QCOMPARE(reader.takeOutput(5000 * kMs), QByteArray());
    QVERIFY(!reader.control().initiativeUpload());
}

void TestMagneticSim::feederSwipesAgainAfterEachUpload() {
    ReaderDevice reader(ReaderModel::Kvr523);
    exchange(reader, "F00070", 0);
    reader.magneticHead().setFeeder(true, 200);
    QCOMPARE(reader.takeOutput(0), QByteArray());
    QCOMPARE(reader.nextWakeUs(), 200 * kMs);
    QCOMPARE(reader.takeOutput(200 * kMs), kEnq);
    reader.feed(kAck, 9600, 250 * kMs);
    QVERIFY(reader.takeOutput(250 * kMs).startsWith("\x02"));
    QCOMPARE(reader.nextWakeUs(), 450 * kMs);
    QCOMPARE(reader.takeOutput(450 * kMs), kEnq);
}

QTEST_GUILESS_MAIN(TestMagneticSim)
#include "test_magneticsim.moc"
