#include "faultmatrix.h"

#include "support/settle.h"

#include "link/portmap.h"
#include "link/qserialbackend.h"
#include "support/settle.h"

#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <chrono>
#include <thread>

Q_DECLARE_METATYPE(talvex::sim::Fault)

namespace talvex::testing {
namespace {

constexpr int kReaderPort = 1;

// How the reader's line fares in a row.
enum Line { kStays, kHangsUp, kVanished };

// The program's real serial device on the pseudo-terminal; only its waits are
// cut to the scaled clock, so a limit of the program's ends when the clock
// says it has.
class ScaledLine final : public link::SerialBackend {
public:
    ScaledLine(const QString &path, const ScaledClock &clock) : m_line(path), m_clock(clock) {
        m_line.setHangUpHandler([this] { reportHangUp(); });
        // An awaited wait wakes on arrival, not only at its time limit.
        m_line.setArrivalHandler([this] { reportArrival(); });
    }
    void open(const link::LineSettings &s) override { m_line.open(s); }
    void close() override { m_line.close(); }
    bool isOpen() const override { return m_line.isOpen(); }
    void applySettings(const link::LineSettings &s) override { m_line.applySettings(s); }
    qint64 bytesAvailable() override { return m_line.bytesAvailable(); }
    qint64 bufferedCount() override { return m_line.bufferedCount(); }
    QByteArray read(qint64 maxBytes) override { return m_line.read(maxBytes); }
    void write(const QByteArray &bytes) override { m_line.write(bytes); }
    void discardInput() override { m_line.discardInput(); }
    void discardOutput() override { m_line.discardOutput(); }
    bool waitForReadyRead(int ms) override {
        const int scale = m_clock.scale();
        return m_line.waitForReadyRead((ms + scale - 1) / scale);
    }
    void setDtr(bool on) override { m_line.setDtr(on); }
    void setRts(bool on) override { m_line.setRts(on); }
    QString lineName() const override { return m_line.lineName(); }

private:
    link::QSerialBackend m_line;
    const ScaledClock &m_clock;
};

QString goneReason(const QString &path) {
    return QStringLiteral("COM1 (%1): the device went away (unplugged or switched off?). Bring "
                          "it back, then use Setup Comm again.")
        .arg(path);
}

} // namespace

void ScaledClock::sleepMs(qint64 ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds((ms + m_scale - 1) / m_scale));
}

void ScaledClock::setScale(int scale) {
    m_baseMs = nowMs();
    m_wall.restart();
    m_scale = scale;
}

FaultBench::FaultBench() : reader(sim::ReaderModel::Kvr690, 9600, sim::Transport::Pty) {
    reader.setTrafficListener([this](sim::Direction d, const QByteArray &bytes) {
        if (d == sim::Direction::FromProgram) {
            QMutexLocker lock(&m_mutex);
            m_sent += bytes;
        }
    });
    link::portmap::mapBackend(
        kReaderPort, [this] { return std::make_unique<ScaledLine>(reader.slavePath(), clock); });
    QString error;
    if (!reader.start(&error))
        qFatal("simulated reader did not start: %s", qPrintable(error));
    if (!setUpComm())
        qFatal("the simulated reader was not set up");
    takeSent();
    takeBoxes();
}

FaultBench::~FaultBench() {
    link::portmap::unmap(kReaderPort);
}

bool FaultBench::setUpComm() {
    dialogs.steps << [](QDialog &dialog) {
        child<QPushButton>(dialog, "Command1")->click();
        testing::settle();
        return dialog.result();
    };
    window.IROpencom_Click();
    return testing::settle() && window.portSetUp();
}

QByteArray FaultBench::takeSent() {
    QMutexLocker lock(&m_mutex);
    return std::exchange(m_sent, {});
}

QStringList FaultBench::takeBoxes() {
    QStringList out;
    for (const link::MessageRequest &box : std::as_const(boxes.shown))
        out << box.title + QLatin1Char('|') + box.text;
    boxes.shown.clear();
    return out;
}

QString FaultBench::statusLine() const {
    return child<QLabel>(window, "StatusLine")->text();
}

std::function<void(FaultBench &)> click(const char *button) {
    return [button](FaultBench &b) {
        child<QAbstractButton>(b.host(), button)->click();
        QVERIFY(settle());
    };
}

std::function<QString(FaultBench &)> textOf(const char *box) {
    return [box](FaultBench &b) {
        if (auto *line = b.host().findChild<QLineEdit *>(QLatin1String(box)))
            return line->text();
        return child<QPlainTextEdit>(b.host(), box)->toPlainText();
    };
}

void addFaultRows() {
    QTest::addColumn<sim::Fault>("fault");  // delays in the program's milliseconds
    QTest::addColumn<int>("scale");         // how much faster the program's clock runs
    QTest::addColumn<QString>("sent");      // what reached the reader: "", "frame" or "frame ENQ"
    QTest::addColumn<QStringList>("boxes"); // "ok" stands for the command's own result
    QTest::addColumn<QString>("log");       // pattern; {SD} is the frame's line
    QTest::addColumn<bool>("shows");        // the window shows the reply
    QTest::addColumn<int>("line");

    const QString comm = QStringLiteral("Caution|Communication Error\r\nPossible causes:\r\n"
                                        "1)Communication setup error\r\n2)Wrong model selected\r\n"
                                        "3)No connected\r\n4)No power on unit");
    const QString dataFault = QStringLiteral("Caution|Error:Please check the data effective");
    const QString frame = QStringLiteral("frame");
    const QString frameEnq = QStringLiteral("frame ENQ");
    const QString sd = QStringLiteral("{SD}");
    const QString ack = sd + QStringLiteral("RD: 06\r\nSD: 05\r\n");
    const QString header = ack + QStringLiteral("RD: 02 00 [0-9A-F]{2} \r\n");
    const QString reply = ack + QStringLiteral("RD: 02 (?:[0-9A-F]{2} |\r\n {8})+\r\n\r\n");
    const auto negative = [&](const char *code) {
        return ack + QStringLiteral("RD: 02 00 03 4E [0-9A-F]{2} %1 03 [0-9A-F]{2} \r\n\r\n")
                         .arg(QLatin1String(code));
    };
    const QStringList ok{QStringLiteral("ok")};

    using K = sim::Fault::Kind;
    const auto row = [](const char *name, sim::Fault fault, int scale, const QString &sent,
                        const QStringList &boxes, const QString &log, bool shows = false,
                        Line line = kStays) {
        QTest::newRow(name) << fault << scale << sent << boxes << log << shows << int(line);
    };
    row("no fault", sim::Fault::none(), 1, frameEnq, ok, reply, true);
    row("silence", sim::Fault::of(K::Silence), 20, frame, {comm}, sd);
    row("NAK", sim::Fault::of(K::Nak), 1, frame, {comm}, sd + QStringLiteral("RD: 15\r\n"));
    row("ACK only", sim::Fault::of(K::AckOnly), 20, frameEnq, {comm}, ack);
    row("header only", sim::Fault::of(K::HeaderOnly), 20, frameEnq, {comm}, header);
    row("truncated body", sim::Fault::of(K::TruncatedBody), 20, frameEnq, {comm}, header);
    row("wrong BCC", sim::Fault::of(K::WrongBcc), 1, frameEnq, {}, reply);
    row("extra bytes", sim::Fault::of(K::ExtraBytes), 1, frameEnq, {}, reply);
    row("reply over 1025 bytes", sim::Fault::of(K::OverlongReply), 1, frameEnq, {dataFault}, reply);
    row("negative 02", sim::Fault::negative(0x02), 1, frameEnq,
        {QStringLiteral("Error|Command Can Not Be Executed")}, negative("02"));
    row("negative 03", sim::Fault::negative(0x03), 1, frameEnq, {}, negative("03"));
    row("ACK inside 3 s", sim::Fault::delay(2250), 10, frameEnq, ok, reply, true);
    row("ACK outside 3 s", sim::Fault::delay(3750), 10, frame, {comm}, sd);
    row("reply inside 8 s", sim::Fault::delayReply(6000), 10, frameEnq, ok, reply, true);
    row("reply outside 8 s", sim::Fault::delayReply(10000), 10, frameEnq, {comm}, ack);
    row("rest inside 3 s", sim::Fault::delayRest(2250), 10, frameEnq, ok, reply, true);
    row("rest outside 3 s", sim::Fault::delayRest(3750), 10, frameEnq, {comm}, header);
    row("hang-up", sim::Fault::of(K::HangUp), 1, frame, {dataFault}, QString(), false, kHangsUp);
    row("port vanished", sim::Fault::none(), 1, QString(), {dataFault}, QString(), false,
        kVanished);
}

void runFaultRow(const WindowCase &window) {
    QFETCH(sim::Fault, fault);
    QFETCH(int, scale);
    QFETCH(QString, sent);
    QFETCH(QStringList, boxes);
    QFETCH(QString, log);
    QFETCH(bool, shows);
    QFETCH(int, line);

    FaultBench bench;
    window.prepare(bench);
    const QByteArray frame = QByteArray::fromHex(window.frame.toLatin1());
    const QByteArray enq("\x05");
    QString reason;
    if (line != kStays)
        reason = goneReason(bench.reader.slavePath());
    if (line == kVanished) {
        window.act(bench);
        QVERIFY(settle()); // an awaited handler runs on after the click
        QCOMPARE(bench.takeBoxes(), window.okBoxes);
        bench.reader.stop();
    }
    bench.takeSent();
    bench.takeBoxes();
    bench.window.ClearSDTDText_Click();

    sim::Fault onTheWire = fault;
    onTheWire.delayMs = fault.delayMs / scale;
    bench.reader.injectFault(onTheWire);
    bench.clock.setScale(scale);
    window.act(bench);
    QVERIFY(settle());
    bench.clock.setScale(1);
    // What the reader still sends after the program gave up arrives now; the
    // program must not answer it.
    QTRY_VERIFY(bench.reader.idle());
    QTest::qWait(20);

    QByteArray expectedSent;
    if (!sent.isEmpty())
        expectedSent = sent.endsWith(QLatin1String("ENQ")) ? frame + enq : frame;
    QCOMPARE(bench.takeSent(), expectedSent);
    QStringList expectedBoxes;
    for (const QString &box : std::as_const(boxes))
        expectedBoxes << (box == QLatin1String("ok") ? window.okBoxes : QStringList{box});
    QCOMPARE(bench.takeBoxes(), expectedBoxes);
    const QString sdLine = QStringLiteral("SD: %1 \r\n").arg(window.frame);
    const QRegularExpression logPattern(QRegularExpression::anchoredPattern(
        QString(log).replace(QStringLiteral("{SD}"), QRegularExpression::escape(sdLine)) +
        QRegularExpression::escape(window.logTail)));
    QVERIFY2(logPattern.match(bench.window.trafficLog()).hasMatch(),
             qPrintable(bench.window.trafficLog()));
    if (line != kVanished)
        QTRY_COMPARE(window.shown(bench), shows ? window.okShown : QString());
    QCOMPARE(bench.statusLine(), reason);

    // The window is usable again, after "Setup Comm" where the line went away.
    if (line != kStays) {
        QVERIFY(bench.reader.start());
        QVERIFY(bench.setUpComm());
        QCOMPARE(bench.statusLine(), QString());
        bench.takeSent();
        QCOMPARE(bench.takeBoxes(), QStringList());
    }
    window.act(bench);
    QVERIFY(settle());
    QCOMPARE(bench.takeSent(), frame + enq);
    QCOMPARE(bench.takeBoxes(), window.okBoxes);
    QTRY_COMPARE(window.shown(bench), window.okShown);
}

} // namespace talvex::testing
