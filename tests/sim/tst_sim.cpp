#include "link/frame.h"
#include "sim/dispensersim.h"
#include "sim/readerdevice.h"
#include "sim/readersim.h"
#include "support/ptyline.h"

#include <QtTest>

#include <utility>
#include <vector>

using namespace talvex::sim;
using talvex::testing::PtyLine;

Q_DECLARE_METATYPE(talvex::sim::Fault)
Q_DECLARE_METATYPE(talvex::sim::ReaderModel)
Q_DECLARE_METATYPE(talvex::sim::DispenserModel)

namespace {

// Generous: the machine running the suite may be busy with builds.
constexpr int kAnswerMs = 3000;
constexpr int kQuietMs = 300;

quint8 xorAll(const QByteArray &b) {
    quint8 x = 0;
    for (char c : b)
        x ^= static_cast<quint8>(c);
    return x;
}

QByteArray etxFrame(const QByteArray &text) {
    QByteArray f = QByteArray("\x02") + text + '\x03';
    return f + static_cast<char>(xorAll(f));
}

// Devices count time in microseconds.
constexpr qint64 ms(qint64 milliseconds) {
    return milliseconds * 1000;
}

// Time for n bytes at baud, 10 bits each, rounded up to whole microseconds.
qint64 wireUs(qint64 bytes, int baud) {
    return (bytes * 10 * 1'000'000 + baud - 1) / baud;
}

const QByteArray kAck("\x06");
const QByteArray kNak("\x15");
const QByteArray kEnq("\x05");
const QByteArray kStatusQuery = QByteArray::fromHex("02000231300302");
const QByteArray kResetQuery = QByteArray::fromHex("02000230300303");

// Body of a reply frame read from the line, or empty when it is no frame.
QByteArray bodyOf(const QByteArray &frame) {
    if (frame.size() < 5)
        return {};
    return frame.mid(3, frame.size() - 5);
}

// Runs one exchange with the program's end of the line: frame, ACK, ENQ, reply.
QByteArray exchangeOverPty(PtyLine &line, const QByteArray &frame) {
    line.write(frame);
    if (line.read(1, kAnswerMs) != kAck)
        return "no ACK";
    line.write(kEnq);
    QByteArray reply = line.read(3, kAnswerMs);
    if (reply.size() < 3)
        return "no header";
    const int need = static_cast<quint8>(reply[1]) * 256 + static_cast<quint8>(reply[2]) + 2;
    reply += line.read(3 + need - int(reply.size()), kAnswerMs);
    return reply;
}

// Starts a simulator and opens the program's end of its line.
template <typename Sim> bool attach(Sim &sim, PtyLine &line, int baud = 9600) {
    return sim.start() && line.open(sim.slavePath(), baud);
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    // The device on its own, driven with explicit time.
    void faultsShapeOneExchangeOnly_data();
    void faultsShapeOneExchangeOnly();
    void readerIgnoresNoiseAndStaleFrames();
    void readerDropsBytesAtAnotherSpeed();
    void wireTimeBoundsTheExchange_data();
    void wireTimeBoundsTheExchange();
    void wireIsFullDuplex();

    // Over a real pseudo-terminal.
    void modelSwitchKeepsThePath();
    void wrongBccOverPtyIsNaked();
    void dispenserExchanges_data();
    void dispenserExchanges();
};

void TestSim::faultsShapeOneExchangeOnly_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("reply");

    // KVR-690, empty, both entries open: "P0NJJ".
    const QByteArray normal = QByteArray::fromHex("02000550304E4A4A032A");
    QByteArray badBcc = normal;
    badBcc[badBcc.size() - 1] = static_cast<char>(badBcc.back() ^ 0xFF);

    QTest::newRow("silence") << Fault::of(Fault::Kind::Silence) << QByteArray() << QByteArray();
    QTest::newRow("nak") << Fault::of(Fault::Kind::Nak) << kNak << QByteArray();
    QTest::newRow("ack only") << Fault::of(Fault::Kind::AckOnly) << kAck << QByteArray();
    QTest::newRow("header only") << Fault::of(Fault::Kind::HeaderOnly) << kAck << normal.left(3);
    QTest::newRow("truncated body")
        << Fault::of(Fault::Kind::TruncatedBody) << kAck << normal.left(5);
    QTest::newRow("wrong bcc") << Fault::of(Fault::Kind::WrongBcc) << kAck << badBcc;
    QTest::newRow("extra bytes") << Fault::of(Fault::Kind::ExtraBytes) << kAck
                                 << normal + QByteArray("\x00\xFF\x55", 3);
    QTest::newRow("negative 04") << Fault::negative(0x04) << kAck
                                 << QByteArray::fromHex("0200034E30040378");
    QTest::newRow("delay") << Fault::delay(200) << kAck << normal;
    QTest::newRow("delay after ENQ") << Fault::delayReply(200) << kAck << normal;
    QTest::newRow("delay after the header") << Fault::delayRest(200) << kAck << normal;
}

void TestSim::faultsShapeOneExchangeOnly() {
    QFETCH(Fault, fault);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, reply);

    ReaderDevice reader(ReaderModel::Kvr690);
    // Up to a microsecond before a held-back part is due, only what precedes it is out.
    const auto heldBack = [&](qint64 from, const QByteArray &before) {
        QCOMPARE(reader.takeOutput(from + ms(fault.delayMs) - 1), before);
        QCOMPARE(reader.nextWakeUs(), from + ms(fault.delayMs));
    };
    reader.injectFault(fault);
    qint64 t = ms(10'000);
    reader.feed(kStatusQuery, 9600, t);
    if (fault.kind == Fault::Kind::Delay) {
        heldBack(t, QByteArray());
        t += ms(fault.delayMs);
    }
    QCOMPARE(reader.takeOutput(t), answer);
    reader.feed(kEnq, 9600, t);
    if (fault.kind == Fault::Kind::DelayReply) {
        heldBack(t, QByteArray());
        t += ms(fault.delayMs);
    }
    if (fault.kind == Fault::Kind::DelayRest) {
        heldBack(t, reply.left(3));
        t += ms(fault.delayMs);
        reply.remove(0, 3);
    }
    QCOMPARE(reader.takeOutput(t), reply);
    QVERIFY(!reader.takeHangUp(t));

    // The next exchange is normal again.
    QCOMPARE(reader.pendingFault(), Fault::none());
    t += ms(5000);
    reader.feed(kStatusQuery, 9600, t);
    QCOMPARE(reader.takeOutput(t), kAck);
    reader.feed(kEnq, 9600, t);
    QCOMPARE(reader.takeOutput(t), QByteArray::fromHex("02000550304E4A4A032A"));
}

void TestSim::readerIgnoresNoiseAndStaleFrames() {
    ReaderDevice reader(ReaderModel::Kvr416);
    const qint64 t = ms(1000);

    // Noise and a stray ENQ before any frame bring no answer.
    reader.feed(QByteArray("\xFF\x00\x05\x06", 4), 9600, t);
    QVERIFY(reader.takeOutput(t).isEmpty());

    // Half a frame, the rest too late: the reader forgot the start.
    reader.feed(kStatusQuery.left(4), 9600, t);
    QCOMPARE(reader.nextWakeUs(), t + ReaderDevice::kFrameRestUs);
    reader.advance(t + ReaderDevice::kFrameRestUs);
    reader.feed(kStatusQuery.mid(4), 9600, t + ReaderDevice::kFrameRestUs);
    QVERIFY(reader.takeOutput(t + ms(2000)).isEmpty());

    // A frame in pieces is fine while no pause between them reaches the limit,
    // however long the whole frame takes.
    reader.feed(kStatusQuery.left(2), 9600, ms(3000));
    reader.feed(kStatusQuery.mid(2, 2), 9600, ms(3800));
    reader.feed(kStatusQuery.mid(4), 9600, ms(4600));
    QCOMPARE(reader.takeOutput(ms(4600)), kAck);

    // Overlong reply: a well-formed frame past the program's 1025-byte buffer.
    reader.feed(kStatusQuery, 9600, ms(4700)); // a new command replaces the pending one
    reader.takeOutput(ms(4700));
    reader.injectFault(Fault::of(Fault::Kind::OverlongReply));
    reader.feed(kStatusQuery, 9600, ms(5000));
    QCOMPARE(reader.takeOutput(ms(5000)), kAck);
    reader.feed(kEnq, 9600, ms(5000));
    const QByteArray longReply = reader.takeOutput(ms(5000));
    QVERIFY(longReply.size() - 3 > ReaderDevice::kReplyBufferSize);
    QCOMPARE(longReply, talvex::link::buildReaderFrame(bodyOf(longReply)));
    QVERIFY(bodyOf(longReply).startsWith("P0N"));
}

void TestSim::readerDropsBytesAtAnotherSpeed() {
    ReaderDevice reader;
    reader.setBaud(19200);
    reader.feed(kStatusQuery, 9600, ms(100));
    QVERIFY(reader.takeOutput(ms(100)).isEmpty());
    // A half frame at the wrong speed does not linger into the next one.
    reader.feed(kStatusQuery.left(3), 9600, ms(200));
    reader.feed(kStatusQuery, 19200, ms(300));
    QCOMPARE(reader.takeOutput(ms(300)), kAck);
    // A host that cannot tell the speed (0) passes everything.
    reader.feed(kEnq, 0, ms(300));
    QVERIFY(reader.takeOutput(ms(300)).startsWith('\x02'));
}

void TestSim::wireTimeBoundsTheExchange_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("writes"); // pieces the program writes the frame in

    const QByteArray longEcho =
        talvex::link::buildReaderFrame(QByteArray("1") + QByteArray(250, '0'));
    QTest::newRow("status at 9600") << kStatusQuery << 9600 << 1;
    QTest::newRow("status at 115200") << kStatusQuery << 115200 << 1;
    QTest::newRow("status in pieces at 9600") << kStatusQuery << 9600 << 3;
    QTest::newRow("256-byte frame in pieces at 2400") << longEcho << 2400 << 7;
}

// The program writes a frame, answers the ACK with ENQ at once and reads the
// reply; every byte the device sends is stamped with the time it left.
void TestSim::wireTimeBoundsTheExchange() {
    QFETCH(QByteArray, frame);
    QFETCH(int, baud);
    QFETCH(int, writes);

    ReaderDevice reader(ReaderModel::Kvr690);
    reader.setBaud(baud);
    reader.setWireTime(true);
    const qint64 t0 = ms(50'000);

    // Pieces of the frame handed over while the line is still busy with the
    // previous piece queue behind it, as a UART sends them.
    const qsizetype piece = (frame.size() + writes - 1) / writes;
    for (int i = 0; i < writes; ++i)
        reader.feed(frame.mid(i * piece, piece), baud, t0 + i * wireUs(1, baud) / 2);

    std::vector<std::pair<qint64, char>> sent;
    auto runUntilQuiet = [&](qint64 from) {
        for (qint64 t = reader.nextWakeUs(); t >= 0; t = reader.nextWakeUs()) {
            QVERIFY(t >= from);
            for (char byte : reader.takeOutput(t))
                sent.emplace_back(t, byte);
        }
    };
    runUntilQuiet(t0);
    QCOMPARE(sent.size(), size_t(1));
    QCOMPARE(sent[0].second, '\x06');
    // The ACK is sent when the last frame byte is complete and takes one byte
    // time itself; rounding never makes it early, nor later than a microsecond.
    const qint64 ackAt = sent[0].first;
    QVERIFY(ackAt >= t0 + wireUs(frame.size() + 1, baud));
    QVERIFY(ackAt <= t0 + wireUs(frame.size(), baud) + wireUs(1, baud));

    sent.clear();
    reader.feed(kEnq, baud, ackAt);
    runUntilQuiet(ackAt);
    QVERIFY(sent.size() > 5);
    QByteArray reply;
    for (const auto &[at, byte] : sent)
        reply += byte;
    QCOMPARE(reply, talvex::link::buildReaderFrame(bodyOf(reply)));
    // Byte k of the reply is complete k byte times after the ENQ was, which
    // makes the whole exchange exactly its wire time.
    const qint64 enqDone = ackAt + wireUs(1, baud);
    for (size_t k = 0; k < sent.size(); ++k)
        QCOMPARE(sent[k].first, enqDone + wireUs(qint64(k) + 1, baud));
    const qint64 allBytes = frame.size() + 2 + reply.size();
    QVERIFY(sent.back().first - t0 >= wireUs(allBytes, baud));
    QVERIFY(sent.back().first - t0 <= wireUs(allBytes, baud) + 3);
}

// Bytes to and from a device do not wait for each other: each direction of
// the line is free on its own.
void TestSim::wireIsFullDuplex() {
    class Echo final : public Device {
    public:
        std::vector<std::pair<qint64, QByteArray>> received;

    protected:
        void receive(const QByteArray &bytes, qint64 nowUs) override {
            received.emplace_back(nowUs, bytes);
            send(bytes, nowUs);
        }
    };
    Echo echo;
    echo.setWireTime(true);
    echo.setBaud(9600); // one byte: 1041.67 us
    echo.feed("ABC", 9600, 0);
    QVERIFY(echo.takeOutput(1041).isEmpty());
    QVERIFY(echo.takeOutput(2083).isEmpty()); // "A" is still on the way back
    QCOMPARE(echo.takeOutput(2084), QByteArray("A"));
    QCOMPARE(echo.takeOutput(3125), QByteArray());
    QCOMPARE(echo.takeOutput(3126), QByteArray("B"));
    QCOMPARE(echo.takeOutput(4167), QByteArray());
    QCOMPARE(echo.takeOutput(4168), QByteArray("C"));
    const std::vector<std::pair<qint64, QByteArray>> expected = {
        {1042, "A"}, {2084, "B"}, {3125, "C"}};
    QVERIFY(echo.received == expected);

    // After a pause the line starts afresh: no credit for the idle time.
    echo.feed("D", 9600, 10'000);
    QCOMPARE(echo.nextWakeUs(), qint64(11'042));
    QCOMPARE(echo.takeOutput(12'083), QByteArray());
    QCOMPARE(echo.takeOutput(12'084), QByteArray("D"));
}

void TestSim::modelSwitchKeepsThePath() {
    ReaderSim sim(ReaderModel::Kvr690);
    PtyLine line;
    QVERIFY(attach(sim, line));
    const QString path = sim.slavePath();
    QVERIFY(path.startsWith(QLatin1String("/dev/")));
    QCOMPARE(bodyOf(exchangeOverPty(line, kResetQuery)), QByteArray("P0KVR690 V3.1"));

    sim.setModel(ReaderModel::Kvr523);
    QCOMPARE(sim.slavePath(), path);
    QCOMPARE(bodyOf(exchangeOverPty(line, kResetQuery)), QByteArray("P0KVR523 V1.8"));

    sim.setCard(SimCard{CardKind::Plain, CardPlace::Inside});
    QCOMPARE(bodyOf(exchangeOverPty(line, kStatusQuery)), QByteArray("P0Y0"));
}

void TestSim::wrongBccOverPtyIsNaked() {
    ReaderSim sim(ReaderModel::Kvr638);
    PtyLine line;
    QVERIFY(attach(sim, line));
    QByteArray bad = kStatusQuery;
    bad[bad.size() - 1] = '\x09';
    line.write(bad);
    QCOMPARE(line.read(1, kAnswerMs), kNak);
    // A NAK leaves nothing to enquire about.
    line.write(kEnq);
    QVERIFY(line.drain(kQuietMs).isEmpty());
    QCOMPARE(bodyOf(exchangeOverPty(line, kStatusQuery)), QByteArray("P0NJJ"));
}

void TestSim::dispenserExchanges_data() {
    QTest::addColumn<DispenserModel>("model");
    QTest::addColumn<QByteArray>("address"); // the KVR-840's; empty: its default 15
    QTest::addColumn<QByteArray>("status");  // set first, unless empty
    // What the program writes, each followed by what must come back (nothing
    // within kQuietMs when empty).
    QTest::addColumn<QList<QByteArray>>("script");

    const auto k820 = DispenserModel::Kvr820;
    const auto k840 = DispenserModel::Kvr840;
    const QByteArray ack15 = QByteArray::fromHex("063135"), nak15 = QByteArray::fromHex("153135");
    QByteArray bad820 = etxFrame("AP"), bad840 = etxFrame("15RS");
    bad820.back() = 'x';
    bad840.back() = 'x';
    using L = QList<QByteArray>;
    const auto row = [](const char *name, DispenserModel model, const L &script,
                        const QByteArray &status = {}, const QByteArray &address = {}) {
        QTest::newRow(name) << model << address << status << script;
    };
    // "RS": 02 52 53 03 00, acknowledged; the ENQ runs it without a reply.
    row("820 RS", k820, {QByteArray::fromHex("0252530300"), kAck, kEnq, {}});
    row("820 AP", k820, {etxFrame("AP"), kAck, kEnq, etxFrame("SF0104")}, "0104");
    row("820 RF", k820, {etxFrame("RF"), kAck, kEnq, etxFrame("SF104")}, "0104");
    row("820 bad bcc", k820, {bad820, kNak, kEnq, {}});
    row("840 RS at 15", k840, {QByteArray::fromHex("02313552530304"), ack15});
    row("840 other address", k840, {etxFrame("03RS"), {}});
    row("840 bad bcc", k840, {bad840, nak15});
    row("840 address 03", k840, {etxFrame("03DC"), QByteArray::fromHex("063033")}, {}, "03");
    // The program's status acknowledgement is no frame and gets no answer.
    row("840 AP", k840, {etxFrame("15AP"), ack15 + etxFrame("1501"), ack15, {}}, "01");
}

void TestSim::dispenserExchanges() {
    QFETCH(DispenserModel, model);
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, status);
    QFETCH(QList<QByteArray>, script);

    DispenserSim sim(model);
    if (model == DispenserModel::Kvr840) {
        QCOMPARE(sim.address(), QByteArray("15"));
        if (!address.isEmpty())
            sim.setAddress(address);
    }
    if (!status.isEmpty())
        sim.setStatusChars(status);
    PtyLine line;
    QVERIFY(attach(sim, line));
    for (qsizetype i = 0; i < script.size(); i += 2) {
        line.write(script[i]);
        if (script[i + 1].isEmpty())
            QVERIFY(line.drain(kQuietMs).isEmpty());
        else
            QCOMPARE(line.read(int(script[i + 1].size()), kAnswerMs), script[i + 1]);
    }
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
