// The simulated reader against the program's own link: the frames, the
// handshake and the faults must look to SendReaderCommand as a real reader's.

#include "link/exchange.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "sim/readersim.h"
#include "support/recordingmessageboxes.h"

#include <QtTest>

using namespace talvex;
using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::Fault)

namespace {

constexpr int kSimPort = 7;
const QByteArray kReset = QByteArray::fromHex("02000230300303");

} // namespace

class TestSimLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void exchangeSeesFaultAsReaderFault_data();
    void exchangeSeesFaultAsReaderFault();
    void hangUpTakesThePortAway();

private:
    std::unique_ptr<ReaderSim> m_sim;
    std::unique_ptr<link::SerialComm> m_port;
};

void TestSimLink::init() {
    m_sim = std::make_unique<ReaderSim>(ReaderModel::Kvr690, 19200);
    QVERIFY(m_sim->start());
    link::portmap::mapPath(kSimPort, m_sim->slavePath());
    m_port = std::make_unique<link::SerialComm>();
    m_port->setCommPort(kSimPort);
    m_port->setSettings(QStringLiteral("19200,n,8,1"));
    m_port->setPortOpen(true);
}

void TestSimLink::cleanup() {
    m_port.reset();
    m_sim.reset();
    link::portmap::unmap(kSimPort);
}

void TestSimLink::exchangeSeesFaultAsReaderFault_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // first line of the box, if any

    QTest::newRow("none") << Fault::none() << 0 << QString();
    QTest::newRow("nak") << Fault::of(Fault::Kind::Nak) << -1
                         << QStringLiteral("Communication Error");
    QTest::newRow("wrong bcc") << Fault::of(Fault::Kind::WrongBcc) << -1 << QString();
    QTest::newRow("negative 02") << Fault::negative(0x02) << -3
                                 << QStringLiteral("Command Can Not Be Executed");
    QTest::newRow("delay") << Fault::delay(300) << 0 << QString();
}

void TestSimLink::exchangeSeesFaultAsReaderFault() {
    QFETCH(Fault, fault);
    QFETCH(int, status);
    QFETCH(QString, message);

    testing::RecordingMessageBoxes boxes;
    link::ReaderLinkState state(*m_port);
    state.m_portSetUp = true;
    m_sim->injectFault(fault);

    QByteArray reply = link::newReplyBuffer();
    qint16 length = 0;
    QCOMPARE(int(link::SendReaderCommand(state, kReset, int(kReset.size()), reply, length)),
             status);
    if (message.isEmpty())
        QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.texts().join('|')));
    else
        QVERIFY(!boxes.shown.isEmpty() && boxes.shown.first().text.startsWith(message));
    if (status == 0)
        QVERIFY(reply.left(length).contains("KVR690"));

    // One-shot: the next exchange is clean.
    boxes.shown.clear();
    QCOMPARE(int(link::SendReaderCommand(state, kReset, int(kReset.size()), reply, length)), 0);
    QVERIFY(boxes.shown.isEmpty());
}

void TestSimLink::hangUpTakesThePortAway() {
    testing::RecordingMessageBoxes boxes;
    link::ReaderLinkState state(*m_port);
    state.m_portSetUp = true;
    m_sim->injectFault(Fault::of(Fault::Kind::HangUp));
    QByteArray reply = link::newReplyBuffer();
    qint16 length = 0;
    QCOMPARE(int(link::SendReaderCommand(state, kReset, int(kReset.size()), reply, length)), -1);
    QVERIFY(!boxes.shown.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!m_sim->isRunning(), 3000);
}

QTEST_GUILESS_MAIN(TestSimLink)
#include "tst_simlink.moc"
