// The simulated KVR-820 and KVR-840 as machines: what each command does to
// the status characters over time, driven directly on the device's clock.

#include "sim/dispenserdevice820.h"
#include "sim/dispenserdevice840.h"

#include <QtTest>

using namespace talvex::sim;

Q_DECLARE_METATYPE(talvex::sim::DispenserMechanics)

namespace {

QByteArray frame(const QByteArray &text) {
    QByteArray f = "\x02" + text + "\x03";
    char bcc = 0;
    for (char c : f)
        bcc ^= c;
    return f + bcc;
}

// Runs a script on one device. Steps: "+N" lets N ms pass; "take", "jam",
// "clip" act on the machine; "XX=yy" sends command XX and
// expects the status characters yy in its reply (or, for "SI", the door
// code); any other step sends that command and expects it accepted.
class Driver {
public:
    explicit Driver(bool is820) : m_is820(is820) {}

    void run(const QStringList &steps) {
        for (const QString &step : steps) {
            if (step.startsWith(u'+')) {
                m_nowUs += step.mid(1).toLongLong() * 1000;
                device().advance(m_nowUs);
            } else if (step == QLatin1String("take")) {
                QVERIFY(m_is820 ? d820.takeCard() : d840.takeCard());
            } else if (step == QLatin1String("jam")) {
                inject(DispenserFault::Jam);
            } else if (step == QLatin1String("clip")) {
                inject(DispenserFault::ClipCard);
            } else {
                const QStringList parts = step.split(u'=');
                const QByteArray reply = send(parts[0].toLatin1());
                if (parts.size() == 2)
                    QCOMPARE(statusOf(reply), parts[1].toLatin1());
            }
            if (QTest::currentTestFailed()) {
                qWarning("at step %s", qPrintable(step));
                return;
            }
        }
    }

    DispenserDevice820 d820;
    DispenserDevice840 d840;

private:
    Device &device() { return m_is820 ? static_cast<Device &>(d820) : d840; }
    void inject(DispenserFault f) { m_is820 ? d820.injectFault(f) : d840.injectFault(f); }

    // The dispenser's whole answer to one command (the KVR-820's after ENQ).
    QByteArray send(const QByteArray &text) {
        device().feed(frame(m_is820 ? text : "15" + text), 0, m_nowUs);
        QByteArray out = device().takeOutput(m_nowUs);
        if (!m_is820 || out != "\x06")
            return out;
        device().feed("\x05", 0, m_nowUs);
        return device().takeOutput(m_nowUs);
    }

    // Status characters (or the door code) between "S" "F"/"I" and ETX, or
    // between the address and ETX; "ack" for a bare acknowledgement.
    QByteArray statusOf(const QByteArray &reply) const {
        if (m_is820)
            return reply.isEmpty() ? QByteArray("ack") : reply.mid(3, reply.size() - 5);
        if (reply == "\x06"
                     "15")
            return "ack";
        return reply.mid(6, 2);
    }

    bool m_is820;
    qint64 m_nowUs = 1'000'000;
};

} // namespace

class TestDispenserSim : public QObject {
    Q_OBJECT
private slots:
    void machine_data();
    void machine();
};

void TestDispenserSim::machine_data() {
    QTest::addColumn<bool>("is820");
    QTest::addColumn<DispenserMechanics>("mechanics");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("stackerAfter");

    const DispenserMechanics m{.stackerCards = 100,
                               .preEmptyBelow = 20,
                               .binCapacity = 60,
                               .dispenseMs = 800,
                               .captureMs = 600,
                               .holdAtMouth = true};
    auto with = [&](auto change) {
        DispenserMechanics x = m;
        change(x);
        return x;
    };
    // The model comes from the row name.
    const auto row = [](const char *name, const QStringList &steps, int stackerAfter,
                        const DispenserMechanics &mechanics) {
        QTest::newRow(name) << QByteArray(name).startsWith("820") << mechanics << steps
                            << stackerAfter;
    };
    const auto stacker = [&](int cards) { return with([=](auto &x) { x.stackerCards = cards; }); };

    // KVR-820: Z A B C for "AP", A B C for "RF".
    row("820 dispense to the door",
        {"AP=0000", "DC=ack", "AP=0800", "+799", "AP=0800", "+1", "AP=0001", "RF=001"}, 99, m);
    row("820 card taken", {"DC", "+800", "take", "AP=0000"}, 99, m);
    row("820 dispense out", {"FC0", "+800", "AP=0000"}, 99, m);
    row("820 to a sensor", {"FC7", "+800", "AP=0003"}, 99, m);
    row("820 capture", {"DC", "+800", "CP", "AP=0401", "+600", "AP=0000"}, 99, m);
    row("820 capture nothing", {"CP", "AP=0100"}, 100, m);
    row("820 second dispense refused", {"DC", "+800", "DC", "AP=0201"}, 99, m);
    row("820 pre-empty", {"AP=0000", "DC", "+800", "AP=0011"}, 19, stacker(20));
    row("820 last card", {"DC", "+800", "AP=0019", "take", "AP=0018"}, 0, stacker(1));
    row("820 empty", {"DC", "AP=0218"}, 0, stacker(0));
    row("820 bin full", {"DC", "+800", "CP", "+600", "AP=1000", "DC", "+800", "CP", "AP=1101"}, 98,
        with([](auto &x) { x.binCapacity = 1; }));
    row("820 jam", {"jam", "DC", "AP=0800", "+800", "AP=2202", "RS", "AP=0000"}, 99, m);
    row("820 jam on capture", {"DC", "+800", "jam", "CP", "+600", "AP=2101"}, 99, m);
    row("820 clip card", {"clip", "AP=0020", "DC", "AP=0220", "RS", "AP=0000"}, 100, m);
    row("820 door", {"SI=0", "IN2=ack", "SI=2"}, 100, m);

    // KVR-840: S1 S2.
    row("840 dispense, card taken", {"AP=00", "DC=ack", "AP=10", "+800", "AP=20", "take", "AP=30"},
        99, m);
    row("840 card falls out", {"DC", "+800", "AP=30", "DC", "AP=10"}, 99,
        with([](auto &x) { x.holdAtMouth = false; }));
    row("840 card not taken yet", {"DC", "+800", "DC", "AP=60"}, 99, m);
    row("840 pre-empty", {"AP=00", "DC", "+800", "AP=21"}, 19, stacker(20));
    row("840 empty", {"AP=02", "DC", "AP=62"}, 0, stacker(0));
    row("840 jam", {"jam", "DC", "+800", "AP=40", "RS", "AP=00"}, 99, m);
    row("840 clip card", {"clip", "DC", "+800", "AP=40", "RS", "DC", "+800", "AP=20"}, 98, m);
    row("840 pre-dispense switch", {"IP=ack", "IE=ack"}, 100, m);
}

void TestDispenserSim::machine() {
    QFETCH(bool, is820);
    QFETCH(DispenserMechanics, mechanics);
    QFETCH(QStringList, steps);
    QFETCH(int, stackerAfter);
    Driver d(is820);
    d.d820.setMechanics(mechanics);
    d.d840.setMechanics(mechanics);
    d.run(steps);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(is820 ? d.d820.stackerCards() : d.d840.stackerCards(), stackerAfter);
}

QTEST_APPLESS_MAIN(TestDispenserSim)
#include "test_dispensersim.moc"
