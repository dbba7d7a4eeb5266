// The reader window's command line, reader control, MAGNETIC CARD, MIFARE ONE
// and TYPE A /TYPE B tabs against the reader's faults: one command of each,
// all rows of the matrix. The IC CARD tab has a suite of its own.

#include "faultmatrix.h"

#include "contactless/mifaretab.h"
#include "sim/contactlesscard.h"
#include "sim/magneticcard.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

using namespace talvex;
using talvex::testing::child;
using talvex::testing::click;
using talvex::testing::FaultBench;
using talvex::testing::textOf;
using talvex::testing::WindowCase;

namespace {

sim::SimCard contactless(sim::RfChip chip) {
    sim::SimCard card;
    card.kind = sim::CardKind::Contactless;
    card.contactless = sim::ContactlessCard::fresh(chip);
    return card;
}

const WindowCase kCommandLine{.frame = "02 00 02 30 30 03 03",
                              .act = click("ExuteCommandBtn"),
                              .logTail = QStringLiteral("\r\n")};

const WindowCase kReaderStatus{
    .frame = "02 00 02 31 30 03 02",
    .okBoxes = {QStringLiteral("Status of  Reader|No Card In The Reader\r\n"
                               "Permit all cards in from front\r\nPermit all cards in from rear")},
    .act = click("IRStatus")};

const WindowCase kReadTrackData{.frame = "02 00 04 45 30 30 37 03 77",
                                .prepare =
                                    [](FaultBench &b) {
                                        sim::SimCard card;
                                        card.kind = sim::CardKind::Magnetic;
                                        card.magnetic = sim::MagneticCard::testCard();
                                        b.reader.setCard(card);
                                    },
                                .act = click("ReadCardComm"),
                                .shown = textOf("Track2Text1"),
                                .okShown = ";4000001234567899=28121010000000000000?"};

const WindowCase kCheckPassword{
    .frame = "02 00 09 35 32 01 FF FF FF FF FF FF 03 0E",
    .okBoxes = {QStringLiteral("Check Password|Check Password Success")},
    .prepare =
        [](FaultBench &b) {
            b.reader.setCard(contactless(sim::RfChip::S50));
            child<QRadioButton>(b.window, "Option1_1")->click();
            b.window.mifareTab()->RFPasswordList_Click();
        },
    .act = click("CmdRpassword")};

const WindowCase kPolling{
    .frame = "02 00 02 35 60 03 56",
    .okBoxes = {QStringLiteral("Polling|Polling Success")},
    .prepare = [](FaultBench &b) { b.reader.setCard(contactless(sim::RfChip::CpuTypeA)); },
    .act = click("select_Card"),
    .shown = textOf("SelectText"),
    .okShown = "067577810280"};

} // namespace

class TestReaderMainFaults : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data() { testing::addFaultRows(); }
    void commandLine() { testing::runFaultRow(kCommandLine); }
    void readerStatus_data() { testing::addFaultRows(); }
    void readerStatus() { testing::runFaultRow(kReaderStatus); }
    void readTrackData_data() { testing::addFaultRows(); }
    void readTrackData() { testing::runFaultRow(kReadTrackData); }
    void mifareCheckPassword_data() { testing::addFaultRows(); }
    void mifareCheckPassword() { testing::runFaultRow(kCheckPassword); }
    void typeABPolling_data() { testing::addFaultRows(); }
    void typeABPolling() { testing::runFaultRow(kPolling); }
};

QTEST_MAIN(TestReaderMainFaults)
#include "test_readermainfaults.moc"
