// The reader window's IC CARD tab against the reader's faults: its power
// button, a memory card read, and the "CPU Card" and "Sam Card" windows, each
// opened beside the reader window as the tab opens them.

#include "faultmatrix.h"

#include "contact/contactcommands.h"
#include "contact/cpucard.h"
#include "contact/samcard.h"
#include "link/serialcomm.h"
#include "sim/contactcpucard.h"
#include "sim/memorycommand.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QtTest>

using namespace talvex;
using talvex::testing::child;
using talvex::testing::FaultBench;
using talvex::testing::textOf;
using talvex::testing::WindowCase;

namespace {

// A click on the host's button, and the command it started on the reader's
// line run to its end while the case's clock scale still holds. (Other
// windows' commands may run on for long; only this line is waited for.)
std::function<void(FaultBench &)> click(const char *button) {
    return [button](FaultBench &b) {
        testing::click(button)(b);
        link::SerialComm &line = b.window.readerPort();
        QDeadlineTimer deadline(30000);
        while (line.busy() && !deadline.hasExpired())
            QTest::qWait(2);
        QVERIFY(!line.busy());
    };
}

void insertCpuCard(FaultBench &b) {
    b.reader.setCard(sim::contactCpuCard(sim::CardProtocol::T0, sim::CardPlace::IcPosition));
}

template <typename Window> std::function<void(FaultBench &)> open() {
    return [](FaultBench &b) {
        contact::protocolFlags() = {};
        insertCpuCard(b);
        b.extraWindow = std::make_unique<Window>(b.window);
    };
}

const WindowCase kPowerOn{.frame = "02 00 02 33 30 03 00",
                          .okBoxes = {QStringLiteral("Power On|Power On Success")},
                          .prepare = insertCpuCard,
                          .act = click("PowerOnBtn")};

const WindowCase kReadMainMemory{
    .frame = "02 00 04 38 31 00 06 03 0A",
    .okBoxes = {QStringLiteral("Read Main Memory|Read Data Success")},
    .prepare =
        [](FaultBench &b) {
            b.reader.setCard(
                sim::blankMemoryCard(sim::MemoryCardType::Sle4442, sim::CardPlace::IcPosition));
            child<QLineEdit>(b.window, "SL4442Add1")->setText(QStringLiteral("00"));
            child<QLineEdit>(b.window, "SL4442Long")->setText(QStringLiteral("06"));
        },
    .act = click("SL4442ReadCenChu"),
    .shown =
        [](FaultBench &b) {
            QString cells;
            for (int i = 0; i < 7; ++i)
                cells += textOf(qPrintable(QStringLiteral("ICText_%1").arg(i)))(b);
            return cells;
        },
    .okShown = "A2131091FFFF"};

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

class TestICCardFaults : public QObject {
    Q_OBJECT

private slots:
    void powerOn_data() { testing::addFaultRows(); }
    void powerOn() { testing::runFaultRow(kPowerOn); }
    void memoryCardRead_data() { testing::addFaultRows(); }
    void memoryCardRead() { testing::runFaultRow(kReadMainMemory); }
    void cpuCardColdReset_data() { testing::addFaultRows(); }
    void cpuCardColdReset() { testing::runFaultRow(kCpuColdReset); }
    void samCardReset_data() { testing::addFaultRows(); }
    void samCardReset() { testing::runFaultRow(kSamReset); }
};

QTEST_MAIN(TestICCardFaults)
#include "test_iccardfaults.moc"
