#include "simdevicesdialog.h"

#include "contactcardcontrols.h"
#include "contactlesscardpanel.h"
#include "dispensercontrols.h"
#include "memorycardsimcontrols.h"
#include "readercontrolsimbox.h"

#include "link/portmap.h"
#include "magneticcardpanel.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace talvex::app {

namespace {

using Kind = sim::Fault::Kind;

struct FaultChoice {
    Kind kind;
    const char *text;
};

constexpr FaultChoice kFaultChoices[] = {
    {Kind::None, "None"},
    {Kind::Silence, "Silence (no ACK, no reply)"},
    {Kind::Nak, "NAK instead of ACK"},
    {Kind::AckOnly, "ACK, then nothing after ENQ"},
    {Kind::HeaderOnly, "Reply header only"},
    {Kind::TruncatedBody, "Reply cut off in the body"},
    {Kind::WrongBcc, "Reply with a wrong BCC"},
    {Kind::ExtraBytes, "Reply followed by stray bytes"},
    {Kind::OverlongReply, "Reply longer than 1025 bytes"},
    {Kind::Delay, "Delay before the ACK"},
    {Kind::DelayReply, "Delay between ENQ and the reply"},
    {Kind::DelayRest, "Delay between the reply header and its rest"},
    {Kind::HangUp, "Hang up the line"},
    {Kind::NegativeReply, "Negative reply (error code)"},
};

struct PlaceChoice {
    sim::CardPlace place;
    const char *text;
};

constexpr PlaceChoice kPlaceChoices[] = {
    {sim::CardPlace::Inside, "Inside"},
    {sim::CardPlace::Front, "At the front"},
    {sim::CardPlace::FrontHold, "Front, held"},
    {sim::CardPlace::IcPosition, "At the IC position"},
    {sim::CardPlace::RfPosition, "At the RF position"},
    {sim::CardPlace::RearHold, "Rear, held"},
    {sim::CardPlace::Rear, "At the rear"},
    {sim::CardPlace::LongCard, "Long card inside"},
};

constexpr int kReaderRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};

QString faultText(const sim::Fault &fault) {
    for (const auto &choice : kFaultChoices) {
        if (choice.kind == fault.kind)
            return QString::fromLatin1(choice.text);
    }
    return {};
}

QString lineText(int port, bool running, const QString &path) {
    const QString com = QStringLiteral("COM%1").arg(port);
    return running ? QStringLiteral("%1  =  %2").arg(com, path)
                   : QStringLiteral("%1  (line down)").arg(com);
}

} // namespace

SimDevicesDialog::SimDevicesDialog(sim::ReaderSim &reader, int readerPort,
                                   sim::DispenserSim &kvr820, int kvr820Port,
                                   sim::DispenserSim &kvr840, int kvr840Port, QWidget *parent)
    : QWidget(parent, Qt::Window), m_reader(reader), m_readerPort(readerPort), m_kvr820(kvr820),
      m_kvr820Port(kvr820Port), m_kvr840(kvr840), m_kvr840Port(kvr840Port) {
    setObjectName(QStringLiteral("SimDevicesDialog"));
    setWindowTitle(QStringLiteral("Simulated devices"));

    // Reader.
    auto *readerBox = new QGroupBox(QStringLiteral("Reader"), this);
    m_readerLine = new QLabel(readerBox);
    m_readerLine->setObjectName(QStringLiteral("ReaderLine"));
    m_readerLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *reconnect = new QPushButton(QStringLiteral("Reconnect"), readerBox);
    reconnect->setObjectName(QStringLiteral("ReaderReconnect"));
    reconnect->setToolTip(QStringLiteral("Opens a new line after a hang-up"));

    m_model = new QComboBox(readerBox);
    m_model->setObjectName(QStringLiteral("ReaderModel"));
    for (sim::ReaderModel model : sim::kAllReaderModels)
        m_model->addItem(sim::readerModelName(model), static_cast<int>(model));
    m_model->setCurrentIndex(m_model->findData(static_cast<int>(m_reader.model())));

    m_baud = new QComboBox(readerBox);
    m_baud->setObjectName(QStringLiteral("ReaderBaud"));
    for (int rate : kReaderRates)
        m_baud->addItem(QString::number(rate), rate);
    m_baud->setCurrentIndex(m_baud->findData(m_reader.baud()));

    m_cardKind = new QComboBox(readerBox);
    m_cardKind->setObjectName(QStringLiteral("ReaderCard"));
    m_cardKind->addItem(QStringLiteral("No card"), static_cast<int>(sim::CardKind::None));
    m_cardKind->addItem(QStringLiteral("Plain card"), static_cast<int>(sim::CardKind::Plain));
    m_cardKind->addItem(QStringLiteral("Contactless card"),
                        static_cast<int>(sim::CardKind::Contactless));
    m_cardKind->addItem(QStringLiteral("Magnetic card"), static_cast<int>(sim::CardKind::Magnetic));
    m_cardPlace = new QComboBox(readerBox);
    m_cardPlace->setObjectName(QStringLiteral("ReaderCardPlace"));
    for (const auto &choice : kPlaceChoices)
        m_cardPlace->addItem(QString::fromLatin1(choice.text), static_cast<int>(choice.place));
    const sim::SimCard card = m_reader.card();
    m_cardKind->setCurrentIndex(m_cardKind->findData(static_cast<int>(card.kind)));
    m_cardPlace->setCurrentIndex(m_cardPlace->findData(static_cast<int>(card.place)));

    m_fault = new QComboBox(readerBox);
    m_fault->setObjectName(QStringLiteral("ReaderFault"));
    for (const auto &choice : kFaultChoices)
        m_fault->addItem(QString::fromLatin1(choice.text), static_cast<int>(choice.kind));
    m_faultDelay = new QSpinBox(readerBox);
    m_faultDelay->setObjectName(QStringLiteral("ReaderFaultDelay"));
    m_faultDelay->setRange(0, 60000);
    m_faultDelay->setSingleStep(500);
    m_faultDelay->setValue(3500);
    m_faultDelay->setSuffix(QStringLiteral(" ms"));
    m_faultCode = new QSpinBox(readerBox);
    m_faultCode->setObjectName(QStringLiteral("ReaderFaultCode"));
    m_faultCode->setRange(0, 255);
    m_faultCode->setDisplayIntegerBase(16);
    m_faultCode->setPrefix(QStringLiteral("0x"));
    auto *arm = new QPushButton(QStringLiteral("Arm for next exchange"), readerBox);
    arm->setObjectName(QStringLiteral("ReaderArmFault"));
    m_pendingFault = new QLabel(readerBox);
    m_pendingFault->setObjectName(QStringLiteral("ReaderPendingFault"));

    auto *lineRow = new QHBoxLayout;
    lineRow->addWidget(m_readerLine, 1);
    lineRow->addWidget(reconnect);
    auto *cardRow = new QHBoxLayout;
    cardRow->addWidget(m_cardKind);
    cardRow->addWidget(m_cardPlace);
    auto *faultRow = new QHBoxLayout;
    faultRow->addWidget(m_fault, 1);
    faultRow->addWidget(m_faultDelay);
    faultRow->addWidget(m_faultCode);
    faultRow->addWidget(arm);

    auto *readerForm = new QFormLayout(readerBox);
    readerForm->addRow(QStringLiteral("Line"), lineRow);
    readerForm->addRow(QStringLiteral("Model"), m_model);
    readerForm->addRow(QStringLiteral("Line speed"), m_baud);
    readerForm->addRow(QStringLiteral("Card"), cardRow);
    readerForm->addRow(QStringLiteral("Fault"), faultRow);
    readerForm->addRow(QStringLiteral("Pending"), m_pendingFault);

    // Dispensers.
    auto *dispenserBox = new QGroupBox(QStringLiteral("Dispensers"), this);
    m_kvr820Line = new QLabel(dispenserBox);
    m_kvr820Line->setObjectName(QStringLiteral("Kvr820Line"));
    m_kvr820Line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_kvr840Line = new QLabel(dispenserBox);
    m_kvr840Line->setObjectName(QStringLiteral("Kvr840Line"));
    m_kvr840Line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *dispenserForm = new QFormLayout(dispenserBox);
    dispenserForm->addRow(QStringLiteral("KVR-820"), m_kvr820Line);
    dispenserForm->addRow(QStringLiteral("KVR-840"), m_kvr840Line);

    m_readerControl = new ReaderControlSimBox(m_reader, this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(readerBox);
    layout->addWidget(m_readerControl);
    layout->addWidget(new ContactCardControls(m_reader, this));
    layout->addWidget(new ContactlessCardPanel(m_reader, this));
    layout->addWidget(new MemoryCardSimControls(m_reader, this));
    layout->addWidget(new MagneticCardPanel(m_reader, this));
    layout->addWidget(dispenserBox);
    layout->addWidget(new DispenserControls(m_kvr820, this));
    layout->addWidget(new DispenserControls(m_kvr840, this));
    layout->addStretch();

    connect(m_model, &QComboBox::activated, this, &SimDevicesDialog::modelChosen);
    connect(m_baud, &QComboBox::activated, this, &SimDevicesDialog::baudChosen);
    connect(m_cardKind, &QComboBox::activated, this, &SimDevicesDialog::cardChosen);
    connect(m_cardPlace, &QComboBox::activated, this, &SimDevicesDialog::cardChosen);
    connect(arm, &QPushButton::clicked, this, &SimDevicesDialog::armFault);
    connect(reconnect, &QPushButton::clicked, this, &SimDevicesDialog::reconnectReader);

    // The devices change on their own (a fault is used up, a line hangs up).
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &SimDevicesDialog::refresh);
    timer->start(500);
    refresh();
}

void SimDevicesDialog::modelChosen() {
    m_reader.setModel(static_cast<sim::ReaderModel>(m_model->currentData().toInt()));
    refresh();
}

void SimDevicesDialog::baudChosen() {
    m_reader.setBaud(m_baud->currentData().toInt());
}

void SimDevicesDialog::cardChosen() {
    sim::SimCard card = m_reader.card();
    card.kind = static_cast<sim::CardKind>(m_cardKind->currentData().toInt());
    card.place = static_cast<sim::CardPlace>(m_cardPlace->currentData().toInt());
    card.magnetic = m_reader.nextMagneticCard();
    m_reader.setCard(card);
}

void SimDevicesDialog::armFault() {
    sim::Fault fault = sim::Fault::of(static_cast<Kind>(m_fault->currentData().toInt()));
    fault.delayMs = m_faultDelay->value();
    fault.errorCode = static_cast<quint8>(m_faultCode->value());
    m_reader.injectFault(fault);
    refresh();
}

void SimDevicesDialog::reconnectReader() {
    if (m_reader.isRunning())
        return;
    QString error;
    if (m_reader.start(&error))
        m_reader.mapToPort(m_readerPort);
    else
        m_readerLine->setText(error);
    refresh();
}

void SimDevicesDialog::refresh() {
    m_readerLine->setText(lineText(m_readerPort, m_reader.isRunning(), m_reader.slavePath()));
    m_kvr820Line->setText(lineText(m_kvr820Port, m_kvr820.isRunning(), m_kvr820.slavePath()));
    m_kvr840Line->setText(lineText(m_kvr840Port, m_kvr840.isRunning(), m_kvr840.slavePath()));
    // The reader moves the card and changes its own speed.
    const sim::SimCard card = m_reader.card();
    m_cardKind->setCurrentIndex(m_cardKind->findData(static_cast<int>(card.kind)));
    m_cardPlace->setCurrentIndex(m_cardPlace->findData(static_cast<int>(card.place)));
    m_baud->setCurrentIndex(m_baud->findData(m_reader.baud()));
    m_readerControl->refresh();
    const sim::Fault pending = m_reader.pendingFault();
    m_pendingFault->setText(pending.kind == Kind::None ? QStringLiteral("nothing")
                                                       : faultText(pending));
}

} // namespace talvex::app
