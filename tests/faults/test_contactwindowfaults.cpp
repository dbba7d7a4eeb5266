// The "CPU Card" and "Sam Card" windows against the reader's faults, each
// opened beside the reader window as its IC CARD tab opens them.

#include "faultmatrix.h"

#include "contact/contactcommands.h"
#include "contact/cpucard.h"
#include "contact/samcard.h"
#include "sim/contactcpucard.h"

#include <QtTest>

using namespace talvex;
using talvex::testing::click;
using talvex::testing::FaultBench;
using talvex::testing::textOf;
using talvex::testing::WindowCase;

namespace {

template <typename Window> std::function<void(FaultBench &)> open() {
    return [](FaultBench &b) {
        contact::protocolFlags() = {};
        b.reader.setCard(sim::contactCpuCard(sim::CardProtocol::T0, sim::CardPlace::IcPosition));
        b.extraWindow = std::make_unique<Window>(b.window);
    };
}

const WindowCase kCpuColdReset{.frame = "02 00 03 37 30 30 03 35",
                               .okBoxes = {QStringLiteral("CPU Card Reset|Reset Success(T=0)")},
                               .prepare = open<contact::CPUCARD>(),
                               .act = click("CPUColdReset"),
                               .shown = textOf("ResetText"),
                               .okShown = "3B6A000054414C56455820435055"};

const WindowCase kSamReset{.frame = "02 00 04 3D 30 30 30 03 08",
                           .okBoxes = {QStringLiteral("SAM Card Reset|Reset Success(T=0)")},
                           .prepare = open<contact::SimCard>(),
                           .act = click("SimReset"),
                           .shown = textOf("ResetTextBack"),
                           .okShown = "3B6B000054414C5645582053414D31"};

} // namespace

class TestContactWindowFaults : public QObject {
    Q_OBJECT

private slots:
    void cpuCardColdReset_data() { testing::addFaultRows(); }
    void cpuCardColdReset() { testing::runFaultRow(kCpuColdReset); }
    void samCardReset_data() { testing::addFaultRows(); }
    void samCardReset() { testing::runFaultRow(kSamReset); }
};

QTEST_MAIN(TestContactWindowFaults)
#include "test_contactwindowfaults.moc"
