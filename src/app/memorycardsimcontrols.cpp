#include "memorycardsimcontrols.h"

#include "sim/memorychip.h"
#include "sim/memorycommand.h"
#include "sim/readersim.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace talvex::app {
namespace {

// What can lock or already did, for the family that has it.
QString lockState(const sim::MemoryChip &chip) {
    if (const auto *c = std::get_if<sim::Sle4442Card>(&chip))
        return QStringLiteral("PSC attempts left: %1").arg(c->attemptsLeft());
    if (const auto *c = std::get_if<sim::Sle4428Card>(&chip))
        return QStringLiteral("PSC attempts left: %1").arg(c->attemptsLeft());
    if (const auto *c = std::get_if<sim::At88sc1604Card>(&chip))
        return QStringLiteral("security code attempts left: %1").arg(c->attemptsLeft.at(0));
    if (const auto *c = std::get_if<sim::At88sc102Card>(&chip))
        return QStringLiteral("security code attempts left: %1, EC2 left: %2")
            .arg(c->attemptsLeft)
            .arg(c->ec2Invalid ? QStringLiteral("not counted") : QString::number(c->ec2Left));
    return {};
}

} // namespace

MemoryCardSimControls::MemoryCardSimControls(sim::ReaderSim &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("Memory card"), parent), m_reader(reader) {
    setObjectName(QStringLiteral("MemoryCardSimControls"));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("SimMemoryCardType"));
    for (int i = 0; i < sim::kMemoryCardTypeCount; ++i)
        m_type->addItem(sim::memoryCardTypeName(sim::MemoryCardType(i)), i);
    auto *insert = new QPushButton(QStringLiteral("Insert a blank card"), this);
    insert->setObjectName(QStringLiteral("SimMemoryCardInsert"));
    insert->setToolTip(QStringLiteral("Replaces the card in the reader; a KVR-690 gets it at the "
                                      "IC operation position"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("SimMemoryCardState"));

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_type);
    layout->addWidget(insert);
    layout->addWidget(m_state, 1);

    connect(insert, &QPushButton::clicked, this, &MemoryCardSimControls::insertCard);
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MemoryCardSimControls::refresh);
    timer->start(500);
    refresh();
}

void MemoryCardSimControls::insertCard() {
    m_reader.setCard(sim::blankMemoryCard(sim::MemoryCardType(m_type->currentData().toInt()),
                                          m_reader.model() == sim::ReaderModel::Kvr690
                                              ? sim::CardPlace::IcPosition
                                              : sim::CardPlace::Inside));
    refresh();
}

void MemoryCardSimControls::refresh() {
    const sim::SimCard card = m_reader.card();
    const std::optional<sim::MemoryCardType> type = sim::memoryCardTypeOf(card.memory);
    if (card.kind != sim::CardKind::MemoryCard || !type) {
        m_state->setText(QStringLiteral("no memory card in the reader"));
        return;
    }
    const QString lock = lockState(card.memory);
    m_state->setText(sim::memoryCardTypeName(*type) +
                     (lock.isEmpty() ? QString() : QStringLiteral(", ") + lock));
}

} // namespace talvex::app
