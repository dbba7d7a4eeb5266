#include "ptyclient.h"

#include "sim/dispensersim.h"
#include "sim/readerdevice.h"
#include "sim/readersim.h"

#include <QElapsedTimer>
#include <QtTest>

#include <atomic>

using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::Fault)
Q_DECLARE_METATYPE(talvex::sim::ReaderModel)
Q_DECLARE_METATYPE(talvex::sim::SimCard)

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

QByteArray frameOf(const QByteArray &body) {
    QByteArray f;
    f += '\x02';
    f += static_cast<char>(body.size() >> 8);
    f += static_cast<char>(body.size() & 0xFF);
    f += body;
    f += '\x03';
    f += static_cast<char>(xorAll(f));
    return f;
}

QByteArray etxFrame(const QByteArray &text) {
    QByteArray f = QByteArray("\x02") + text + '\x03';
    return f + static_cast<char>(xorAll(f));
}

const QByteArray kAck("\x06");
const QByteArray kNak("\x15");
const QByteArray kEnq("\x05");
const QByteArray kStatusQuery = QByteArray::fromHex("02000231300302");
const QByteArray kResetQuery = QByteArray::fromHex("02000230300303");

// What model detection of the reader window would conclude from a reset reply
// body: every key found applies, the last one wins.
QString detectedModel(const QByteArray &replyBody) {
    const QByteArray text = replyBody.mid(2);
    const std::pair<const char *, const char *> keys[] = {
        {"Ver", "KVR-416"}, {"416", "KVR-416"}, {"523", "KVR-523"}, {"527", "KVR-527"},
        {"634", "KVR-634"}, {"638", "KVR-638"}, {"690", "KVR-690"}};
    QString model;
    int found = 0;
    for (const auto &[key, name] : keys) {
        if (text.contains(key)) {
            model = QLatin1String(name);
            ++found;
        }
    }
    return found == 0 ? QString() : model;
}

// Body of a reply frame read from the line, or empty when it is no frame.
QByteArray bodyOf(const QByteArray &frame) {
    if (frame.size() < 5)
        return {};
    return frame.mid(3, frame.size() - 5);
}

// Runs one exchange with the program's end of the line: frame, ACK, ENQ, reply.
QByteArray exchangeOverPty(PtyClient &line, const QByteArray &frame) {
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

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    // The device on its own, driven with explicit time.
    void faultsShapeOneExchangeOnly_data();
    void faultsShapeOneExchangeOnly();
    void readerIgnoresNoiseAndStaleFrames();
    void readerDropsBytesAtAnotherSpeed();
    void wireTimeDelaysOutput();
    void statusReplyPerModel_data();
    void statusReplyPerModel();
    void unknownCommandsAreRefused();
    void versionTextsDetectTheirOwnModelOnly();

    // Over a real pseudo-terminal.
    void resetOverPtyCarriesModelNumber_data();
    void resetOverPtyCarriesModelNumber();
    void modelSwitchKeepsThePath();
    void wrongBccOverPtyIsNaked();
    void speedMismatchOverPtyIsIgnored();
    void delayFaultHoldsTheAck();
    void hangUpClosesTheLineAndCanRestart();
    void trafficListenerSeesBothDirections();
    void dispenser820Exchanges();
    void dispenser840Addressing_data();
    void dispenser840Addressing();
    void dispenser840Status();
};

void TestSim::faultsShapeOneExchangeOnly_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray normal = frameOf("P0NJJ"); // KVR-690, empty, both entries open
    QByteArray badBcc = normal;
    badBcc[badBcc.size() - 1] = static_cast<char>(badBcc.back() ^ 0xFF);

    QTest::newRow("none") << Fault::none() << kAck << normal;
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
                                 << frameOf(QByteArray("N0\x04", 3));
    QTest::newRow("delay") << Fault::delay(200) << kAck << normal;
}

void TestSim::faultsShapeOneExchangeOnly() {
    QFETCH(Fault, fault);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, reply);

    ReaderDevice reader(ReaderModel::Kvr690);
    reader.injectFault(fault);
    qint64 t = 10'000;
    reader.feed(kStatusQuery, 9600, t);
    if (fault.kind == Fault::Kind::Delay) {
        QVERIFY(reader.takeOutput(t + fault.delayMs - 1).isEmpty());
        QCOMPARE(reader.nextWakeMs(), t + fault.delayMs);
        t += fault.delayMs;
    }
    QCOMPARE(reader.takeOutput(t), answer);
    reader.feed(kEnq, 9600, t);
    QCOMPARE(reader.takeOutput(t), reply);
    QVERIFY(!reader.takeHangUp(t));

    // The next exchange is normal again.
    QCOMPARE(reader.pendingFault(), Fault::none());
    t += 5000;
    reader.feed(kStatusQuery, 9600, t);
    QCOMPARE(reader.takeOutput(t), kAck);
    reader.feed(kEnq, 9600, t);
    QCOMPARE(reader.takeOutput(t), frameOf("P0NJJ"));
}

void TestSim::readerIgnoresNoiseAndStaleFrames() {
    ReaderDevice reader(ReaderModel::Kvr416);
    const qint64 t = 1000;

    // Noise and a stray ENQ before any frame bring no answer.
    reader.feed(QByteArray("\xFF\x00\x05\x06", 4), 9600, t);
    QVERIFY(reader.takeOutput(t).isEmpty());

    // Half a frame, the rest too late: the reader forgot the start.
    reader.feed(kStatusQuery.left(4), 9600, t);
    QCOMPARE(reader.nextWakeMs(), t + ReaderDevice::kFrameRestMs);
    reader.advance(t + ReaderDevice::kFrameRestMs);
    reader.feed(kStatusQuery.mid(4), 9600, t + ReaderDevice::kFrameRestMs);
    QVERIFY(reader.takeOutput(t + 2000).isEmpty());

    // A frame in pieces within the limit is fine.
    reader.feed(kStatusQuery.left(2), 9600, 3000);
    reader.feed(kStatusQuery.mid(2), 9600, 3500);
    QCOMPARE(reader.takeOutput(3500), kAck);

    // Overlong reply: a well-formed frame past the program's 1025-byte buffer.
    reader.feed(kStatusQuery, 9600, 4000); // a new command replaces the pending one
    reader.takeOutput(4000);
    reader.injectFault(Fault::of(Fault::Kind::OverlongReply));
    reader.feed(kStatusQuery, 9600, 5000);
    QCOMPARE(reader.takeOutput(5000), kAck);
    reader.feed(kEnq, 9600, 5000);
    const QByteArray longReply = reader.takeOutput(5000);
    QVERIFY(longReply.size() - 3 > ReaderDevice::kReplyBufferSize);
    QCOMPARE(longReply, frameOf(bodyOf(longReply)));
    QVERIFY(bodyOf(longReply).startsWith("P0N"));

    // Hang-up is decided when the frame arrives and sends nothing.
    reader.injectFault(Fault::of(Fault::Kind::HangUp));
    reader.feed(kStatusQuery, 9600, 6000);
    QVERIFY(reader.takeOutput(6000).isEmpty());
    QVERIFY(reader.takeHangUp(6000));
}

void TestSim::readerDropsBytesAtAnotherSpeed() {
    ReaderDevice reader;
    reader.setBaud(19200);
    reader.feed(kStatusQuery, 9600, 100);
    QVERIFY(reader.takeOutput(100).isEmpty());
    // A half frame at the wrong speed does not linger into the next one.
    reader.feed(kStatusQuery.left(3), 9600, 200);
    reader.feed(kStatusQuery, 19200, 300);
    QCOMPARE(reader.takeOutput(300), kAck);
    // A host that cannot tell the speed (0) passes everything.
    reader.feed(kEnq, 0, 300);
    QVERIFY(reader.takeOutput(300).startsWith('\x02'));
}

void TestSim::wireTimeDelaysOutput() {
    ReaderDevice reader;
    reader.setWireTime(true);
    reader.setBaud(1200); // 1 byte = 10 bits = 8.33 ms
    reader.feed(kStatusQuery, 1200, 0);
    QVERIFY(reader.takeOutput(8).isEmpty());
    QCOMPARE(reader.takeOutput(9), kAck);
    reader.feed(kEnq, 1200, 100);
    const qint64 frameMs = (10 * 1000 * 10 + 1199) / 1200; // 10-byte reply frame
    QVERIFY(reader.takeOutput(100 + frameMs - 1).isEmpty());
    QCOMPARE(reader.takeOutput(100 + frameMs).size(), 10);
}

void TestSim::statusReplyPerModel_data() {
    QTest::addColumn<ReaderModel>("model");
    QTest::addColumn<SimCard>("card");
    QTest::addColumn<QByteArray>("status"); // reply bytes from index 2 on

    const SimCard none;
    const SimCard inside{CardKind::Plain, CardPlace::Inside};
    const SimCard front{CardKind::Plain, CardPlace::Front};
    const SimCard ic{CardKind::Plain, CardPlace::IcPosition};

    QTest::newRow("416 empty") << ReaderModel::Kvr416 << none << QByteArray("N");
    QTest::newRow("416 card") << ReaderModel::Kvr416 << inside << QByteArray("Y");
    QTest::newRow("527 card") << ReaderModel::Kvr527 << inside << QByteArray("Y");
    QTest::newRow("523 empty") << ReaderModel::Kvr523 << none << QByteArray("N2");
    QTest::newRow("523 card") << ReaderModel::Kvr523 << inside << QByteArray("Y0");
    QTest::newRow("523 short") << ReaderModel::Kvr523 << front << QByteArray("Z0");
    QTest::newRow("634 empty") << ReaderModel::Kvr634 << none << QByteArray("NY");
    QTest::newRow("634 front") << ReaderModel::Kvr634 << front << QByteArray("OY");
    QTest::newRow("638 empty") << ReaderModel::Kvr638 << none << QByteArray("NJ");
    QTest::newRow("638 at ic") << ReaderModel::Kvr638 << ic << QByteArray("KJ");
    QTest::newRow("690 front") << ReaderModel::Kvr690 << front << QByteArray("HJJ");
    QTest::newRow("690 empty") << ReaderModel::Kvr690 << none << QByteArray("NJJ");
}

void TestSim::statusReplyPerModel() {
    QFETCH(ReaderModel, model);
    QFETCH(SimCard, card);
    QFETCH(QByteArray, status);

    ReaderDevice reader(model);
    reader.setCard(card);
    reader.feed(kStatusQuery, 9600, 0);
    reader.takeOutput(0);
    reader.feed(kEnq, 9600, 0);
    const QByteArray body = bodyOf(reader.takeOutput(0));
    QCOMPARE(body, QByteArray("P0") + status);
}

void TestSim::unknownCommandsAreRefused() {
    struct Case {
        QByteArray body;
        QByteArray reply;
    };
    const Case cases[] = {
        {"Z0", QByteArray("N0\x00", 3)}, // unknown command code
        {"1X", QByteArray("NX\x01", 3)}, // known code, unknown parameter
        {"1.", QByteArray("N.\x00", 3)}, // no sensors on this model
        {"0", QByteArray("N0\x00", 3)},  // a body too short to carry a PM
    };
    for (const Case &c : cases) {
        ReaderDevice reader(ReaderModel::Kvr634);
        reader.feed(frameOf(c.body), 9600, 0);
        QCOMPARE(reader.takeOutput(0), kAck);
        reader.feed(kEnq, 9600, 0);
        QCOMPARE(bodyOf(reader.takeOutput(0)), c.reply);
    }
}

void TestSim::versionTextsDetectTheirOwnModelOnly() {
    for (ReaderModel m : kAllReaderModels) {
        const QByteArray body = QByteArray("P0") + readerVersionText(m);
        QCOMPARE(detectedModel(body), readerModelName(m));
        QCOMPARE(readerModelFromName(readerModelName(m)), m);
    }
    QVERIFY(!readerModelFromName(QStringLiteral("KVR-999")));
}

void TestSim::resetOverPtyCarriesModelNumber_data() {
    QTest::addColumn<ReaderModel>("model");
    for (ReaderModel m : kAllReaderModels)
        QTest::newRow(qPrintable(readerModelName(m))) << m;
}

void TestSim::resetOverPtyCarriesModelNumber() {
    QFETCH(ReaderModel, model);
    ReaderSim sim(model);
    QString error;
    QVERIFY2(sim.start(&error), qPrintable(error));
    QVERIFY(sim.slavePath().startsWith(QLatin1String("/dev/")));
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));

    const QByteArray reply = exchangeOverPty(line, kResetQuery);
    QCOMPARE(reply, frameOf(bodyOf(reply)));
    QCOMPARE(detectedModel(bodyOf(reply)), readerModelName(model));

    // The probe of the settings dialog accepts the status of an empty reader.
    const QByteArray status = bodyOf(exchangeOverPty(line, kStatusQuery));
    QVERIFY(status.size() >= 3);
    QVERIFY2(status.at(2) == 'Y' || (status.at(2) >= 'F' && status.at(2) <= 'N'),
             status.constData());
}

void TestSim::modelSwitchKeepsThePath() {
    ReaderSim sim(ReaderModel::Kvr690);
    QVERIFY(sim.start());
    const QString path = sim.slavePath();
    PtyClient line;
    QVERIFY(line.open(path));
    QCOMPARE(detectedModel(bodyOf(exchangeOverPty(line, kResetQuery))), QString("KVR-690"));

    sim.setModel(ReaderModel::Kvr523);
    QCOMPARE(sim.model(), ReaderModel::Kvr523);
    QCOMPARE(sim.slavePath(), path);
    QCOMPARE(detectedModel(bodyOf(exchangeOverPty(line, kResetQuery))), QString("KVR-523"));

    sim.setCard(SimCard{CardKind::Plain, CardPlace::Inside});
    QCOMPARE(bodyOf(exchangeOverPty(line, kStatusQuery)), QByteArray("P0Y0"));
}

void TestSim::wrongBccOverPtyIsNaked() {
    ReaderSim sim(ReaderModel::Kvr638);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));
    QByteArray bad = kStatusQuery;
    bad[bad.size() - 1] = '\x09';
    line.write(bad);
    QCOMPARE(line.read(1, kAnswerMs), kNak);
    // A NAK leaves nothing to enquire about.
    line.write(kEnq);
    QVERIFY(line.drain(kQuietMs).isEmpty());
    QCOMPARE(bodyOf(exchangeOverPty(line, kStatusQuery)), QByteArray("P0NJ"));
}

void TestSim::speedMismatchOverPtyIsIgnored() {
    ReaderSim sim(ReaderModel::Kvr416, 9600);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath(), 19200));
    line.write(kStatusQuery);
    QVERIFY(line.drain(kQuietMs).isEmpty());

    sim.setBaud(19200);
    QCOMPARE(sim.baud(), 19200);
    QCOMPARE(bodyOf(exchangeOverPty(line, kStatusQuery)), QByteArray("P0N"));

    QVERIFY(line.setBaud(57600));
    line.write(kStatusQuery);
    QVERIFY(line.drain(kQuietMs).isEmpty());
}

void TestSim::delayFaultHoldsTheAck() {
    ReaderSim sim(ReaderModel::Kvr690);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));
    sim.injectFault(Fault::delay(400));
    QCOMPARE(sim.pendingFault(), Fault::delay(400));

    QElapsedTimer timer;
    timer.start();
    line.write(kStatusQuery);
    QCOMPARE(line.read(1, kAnswerMs + 400), kAck);
    // The device cannot answer early; only the upper bound depends on the load.
    QVERIFY(timer.elapsed() >= 390);
    line.write(kEnq);
    QCOMPARE(bodyOf(line.read(10, kAnswerMs)), QByteArray("P0NJJ"));
}

void TestSim::hangUpClosesTheLineAndCanRestart() {
    ReaderSim sim(ReaderModel::Kvr634);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));
    sim.injectFault(Fault::of(Fault::Kind::HangUp));
    line.write(kStatusQuery);
    QVERIFY(line.waitHangUp(kAnswerMs));
    QTRY_VERIFY_WITH_TIMEOUT(!sim.isRunning(), kAnswerMs);
    QVERIFY(sim.slavePath().isEmpty());
    line.close();

    QVERIFY(sim.start());
    QVERIFY(line.open(sim.slavePath()));
    QCOMPARE(bodyOf(exchangeOverPty(line, kStatusQuery)), QByteArray("P0NY"));
    sim.stop();
    QVERIFY(!sim.isRunning());
}

void TestSim::trafficListenerSeesBothDirections() {
    ReaderSim sim(ReaderModel::Kvr416);
    std::atomic<int> fromProgram{0};
    std::atomic<int> toProgram{0};
    sim.setTrafficListener([&](Direction d, const QByteArray &bytes) {
        (d == Direction::FromProgram ? fromProgram : toProgram) += int(bytes.size());
    });
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));
    const QByteArray reply = exchangeOverPty(line, kStatusQuery);
    QCOMPARE(reply.size(), 8);
    sim.stop(); // joins the device thread: the counts are final
    QCOMPARE(fromProgram.load(), int(kStatusQuery.size() + 1));
    QCOMPARE(toProgram.load(), 1 + 8);
}

void TestSim::dispenser820Exchanges() {
    DispenserSim sim(DispenserModel::Kvr820);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));

    // "RS": 02 52 53 03 00, acknowledged; the ENQ runs it without a reply.
    QCOMPARE(etxFrame("RS"), QByteArray::fromHex("0252530300"));
    line.write(etxFrame("RS"));
    QCOMPARE(line.read(1, kAnswerMs), kAck);
    line.write(kEnq);
    QVERIFY(line.drain(kQuietMs).isEmpty());

    sim.setStatusChars("0104");
    QCOMPARE(sim.statusChars(), QByteArray("0104"));
    line.write(etxFrame("AP"));
    QCOMPARE(line.read(1, kAnswerMs), kAck);
    line.write(kEnq);
    QCOMPARE(line.read(9, kAnswerMs), etxFrame("SF0104"));

    line.write(etxFrame("RF"));
    QCOMPARE(line.read(1, kAnswerMs), kAck);
    line.write(kEnq);
    QCOMPARE(line.read(8, kAnswerMs), etxFrame("SF104"));

    // A dispensed card waits at the door.
    line.write(etxFrame("DC"));
    QCOMPARE(line.read(1, kAnswerMs), kAck);
    line.write(kEnq);
    QTRY_COMPARE_WITH_TIMEOUT(sim.statusChars().right(1), QByteArray("1"), kAnswerMs);

    QByteArray bad = etxFrame("AP");
    bad[bad.size() - 1] = 'x';
    line.write(bad);
    QCOMPARE(line.read(1, kAnswerMs), kNak);
    line.write(kEnq);
    QVERIFY(line.drain(kQuietMs).isEmpty());
}

void TestSim::dispenser840Addressing_data() {
    QTest::addColumn<QByteArray>("deviceAddress");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("answer");

    QByteArray badBcc = etxFrame("15RS");
    badBcc[badBcc.size() - 1] = 'x';

    QTest::newRow("RS at 15") << QByteArray("15") << QByteArray::fromHex("02313552530304")
                              << QByteArray("\x06"
                                            "15");
    QTest::newRow("other address") << QByteArray("15") << etxFrame("03RS") << QByteArray();
    QTest::newRow("bad bcc") << QByteArray("15") << badBcc
                             << QByteArray("\x15"
                                           "15");
    QTest::newRow("address 03") << QByteArray("03") << etxFrame("03DC")
                                << QByteArray("\x06"
                                              "03");
}

void TestSim::dispenser840Addressing() {
    QFETCH(QByteArray, deviceAddress);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, answer);

    DispenserSim sim(DispenserModel::Kvr840);
    QCOMPARE(sim.address(), QByteArray("15"));
    sim.setAddress(deviceAddress);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));
    line.write(frame);
    if (answer.isEmpty())
        QVERIFY(line.drain(kQuietMs).isEmpty());
    else
        QCOMPARE(line.read(3, kAnswerMs), answer);
}

void TestSim::dispenser840Status() {
    DispenserSim sim(DispenserModel::Kvr840);
    QVERIFY(sim.start());
    PtyClient line;
    QVERIFY(line.open(sim.slavePath()));

    sim.setStatusChars("01");
    line.write(etxFrame("15AP"));
    QCOMPARE(line.read(10, kAnswerMs), QByteArray("\x06"
                                                  "15") +
                                           etxFrame("1501"));
    // The program's status acknowledgement is no frame and gets no answer.
    line.write("\x06"
               "15");
    QVERIFY(line.drain(kQuietMs).isEmpty());

    // An accepted dispense shows as success in the next status.
    line.write(etxFrame("15DC"));
    QCOMPARE(line.read(3, kAnswerMs), QByteArray("\x06"
                                                 "15"));
    line.write(etxFrame("15AP"));
    QCOMPARE(line.read(10, kAnswerMs).mid(6, 2), QByteArray("31"));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
