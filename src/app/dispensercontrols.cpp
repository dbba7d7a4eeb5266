#include "dispensercontrols.h"

#include "sim/dispensersim.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace talvex::app {
namespace {

struct FaultChoice {
    sim::DispenserFault fault;
    const char *text;
};
constexpr FaultChoice kFaults[] = {
    {sim::DispenserFault::Silence, "No answer to the next frame"},
    {sim::DispenserFault::Nak, "Negative acknowledgement (15h)"},
    {sim::DispenserFault::Jam, "Jam on the next card movement"},
    {sim::DispenserFault::ClipCard, "Clip card (until reset)"},
    {sim::DispenserFault::AckOnly, "Acknowledgement, then no status frame"},
    {sim::DispenserFault::FirstBytes, "Status frame stops after its first bytes"},
    {sim::DispenserFault::Truncated, "Status frame without ETX and BCC"},
    {sim::DispenserFault::WrongBcc, "Status frame with a wrong BCC"},
    {sim::DispenserFault::OtherAddress, "Answer from another address (KVR-840)"},
    {sim::DispenserFault::ExtraBytes, "Stray bytes after the answer"},
    {sim::DispenserFault::Overlong, "Answer longer than the buffer"},
    {sim::DispenserFault::SlowAck, "Acknowledgement late by the delay (KVR-820)"},
    {sim::DispenserFault::SlowReply, "Status frame late by the delay"},
};

QString faultText(sim::DispenserFault fault) {
    for (const auto &f : kFaults) {
        if (f.fault == fault)
            return QString::fromLatin1(f.text);
    }
    return QStringLiteral("nothing");
}

} // namespace

DispenserControls::DispenserControls(sim::DispenserSim &dispenser, QWidget *parent)
    : QGroupBox(parent), m_dispenser(dispenser) {
    const bool is820 = dispenser.model() == sim::DispenserModel::Kvr820;
    m_prefix = is820 ? QStringLiteral("Kvr820") : QStringLiteral("Kvr840");
    setTitle(is820 ? QStringLiteral("KVR-820 machine") : QStringLiteral("KVR-840 machine"));
    setObjectName(m_prefix + QStringLiteral("Controls"));

    const sim::DispenserMechanics mech = dispenser.mechanics();
    m_stacker = new QSpinBox(this);
    m_stacker->setObjectName(m_prefix + QStringLiteral("Stacker"));
    m_stacker->setRange(0, 9999);
    m_stacker->setValue(mech.stackerCards);
    auto *fill = new QPushButton(QStringLiteral("Load stacker"), this);
    fill->setObjectName(m_prefix + QStringLiteral("LoadStacker"));
    auto *take = new QPushButton(QStringLiteral("Take the card"), this);
    take->setObjectName(m_prefix + QStringLiteral("TakeCard"));

    m_dispenseMs = new QSpinBox(this);
    m_dispenseMs->setObjectName(m_prefix + QStringLiteral("DispenseMs"));
    m_dispenseMs->setRange(0, 10000);
    m_dispenseMs->setSingleStep(100);
    m_dispenseMs->setSuffix(QStringLiteral(" ms"));
    m_dispenseMs->setValue(mech.dispenseMs);

    m_fault = new QComboBox(this);
    m_fault->setObjectName(m_prefix + QStringLiteral("Fault"));
    for (const auto &f : kFaults)
        m_fault->addItem(QString::fromLatin1(f.text), static_cast<int>(f.fault));
    m_faultDelay = new QSpinBox(this);
    m_faultDelay->setObjectName(m_prefix + QStringLiteral("FaultDelay"));
    m_faultDelay->setRange(0, 60000);
    m_faultDelay->setSingleStep(100);
    m_faultDelay->setValue(6000);
    m_faultDelay->setSuffix(QStringLiteral(" ms"));
    auto *arm = new QPushButton(QStringLiteral("Arm"), this);
    arm->setObjectName(m_prefix + QStringLiteral("ArmFault"));

    m_state = new QLabel(this);
    m_state->setObjectName(m_prefix + QStringLiteral("State"));
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *stackerRow = new QHBoxLayout;
    stackerRow->addWidget(m_stacker);
    stackerRow->addWidget(fill);
    stackerRow->addWidget(take);
    if (is820) {
        auto *emptyBin = new QPushButton(QStringLiteral("Empty the bin"), this);
        emptyBin->setObjectName(m_prefix + QStringLiteral("EmptyBin"));
        stackerRow->addWidget(emptyBin);
        connect(emptyBin, &QPushButton::clicked, this, &DispenserControls::emptyBin);
    }
    auto *faultRow = new QHBoxLayout;
    faultRow->addWidget(m_fault, 1);
    faultRow->addWidget(m_faultDelay);
    faultRow->addWidget(arm);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Cards"), stackerRow);
    form->addRow(QStringLiteral("Motor time"), m_dispenseMs);
    if (!is820) {
        m_hold = new QCheckBox(QStringLiteral("Card waits at the mouth until taken"), this);
        m_hold->setObjectName(m_prefix + QStringLiteral("Hold"));
        m_hold->setChecked(mech.holdAtMouth);
        form->addRow(QString(), m_hold);
        connect(m_hold, &QCheckBox::toggled, this, &DispenserControls::mechanicsChanged);
    }
    form->addRow(QStringLiteral("Fault"), faultRow);
    form->addRow(QStringLiteral("State"), m_state);

    connect(fill, &QPushButton::clicked, this, &DispenserControls::fillStacker);
    connect(take, &QPushButton::clicked, this, &DispenserControls::takeCard);
    connect(arm, &QPushButton::clicked, this, &DispenserControls::armFault);
    connect(m_dispenseMs, &QSpinBox::valueChanged, this, &DispenserControls::mechanicsChanged);

    // The machine moves on its own (cards leave, faults are used up).
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DispenserControls::refresh);
    timer->start(300);
    refresh();
}

void DispenserControls::fillStacker() {
    m_dispenser.setStackerCards(m_stacker->value());
    refresh();
}

void DispenserControls::emptyBin() {
    m_dispenser.setBinCards(0);
    refresh();
}

void DispenserControls::takeCard() {
    m_dispenser.takeCard();
    refresh();
}

void DispenserControls::armFault() {
    m_dispenser.injectFault(static_cast<sim::DispenserFault>(m_fault->currentData().toInt()),
                            m_faultDelay->value());
    refresh();
}

void DispenserControls::mechanicsChanged() {
    sim::DispenserMechanics mech = m_dispenser.mechanics();
    mech.dispenseMs = m_dispenseMs->value();
    mech.captureMs = m_dispenseMs->value() * 3 / 4;
    if (m_hold)
        mech.holdAtMouth = m_hold->isChecked();
    m_dispenser.setMechanics(mech);
}

void DispenserControls::refresh() {
    QString text = QStringLiteral("status %1, %2 cards in the stacker")
                       .arg(QString::fromLatin1(m_dispenser.statusChars()))
                       .arg(m_dispenser.stackerCards());
    if (m_dispenser.model() == sim::DispenserModel::Kvr820)
        text += QStringLiteral(", %1 in the bin").arg(m_dispenser.binCards());
    if (m_dispenser.cardWaiting())
        text += QStringLiteral(", a card waits to be taken");
    text += QStringLiteral("; armed: ") + faultText(m_dispenser.pendingFault());
    m_state->setText(text);
}

} // namespace talvex::app
