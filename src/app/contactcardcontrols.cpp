#include "contactcardcontrols.h"

#include "sim/readersim.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace talvex::app {
namespace {

QComboBox *protocolBox(QWidget *parent, const QString &name) {
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItem(QStringLiteral("T=0"), int(sim::CardProtocol::T0));
    box->addItem(QStringLiteral("T=1"), int(sim::CardProtocol::T1));
    return box;
}

sim::CardProtocol protocolOf(const QComboBox *box) {
    return static_cast<sim::CardProtocol>(box->currentData().toInt());
}

void showProtocol(QComboBox *box, sim::CardProtocol protocol) {
    box->setCurrentIndex(box->findData(int(protocol)));
}

} // namespace

ContactCardControls::ContactCardControls(sim::ReaderSim &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("Contact CPU card and SAMs"), parent), m_reader(reader) {
    setObjectName(QStringLiteral("SimContactCards"));
    m_cpuCard = new QCheckBox(QStringLiteral("CPU card in the slot"), this);
    m_cpuCard->setObjectName(QStringLiteral("SimCpuCard"));
    m_cpuProtocol = protocolBox(this, QStringLiteral("SimCpuCardProtocol"));

    auto *cpuRow = new QHBoxLayout;
    cpuRow->addWidget(m_cpuCard);
    cpuRow->addWidget(m_cpuProtocol);
    cpuRow->addStretch();

    auto *sams = new QGridLayout;
    for (int i = 0; i < sim::kSamSocketCount; ++i) {
        auto *present = new QCheckBox(QStringLiteral("SAM %1").arg(i + 1), this);
        present->setObjectName(QStringLiteral("SimSam%1").arg(i + 1));
        QComboBox *protocol = protocolBox(this, QStringLiteral("SimSam%1Protocol").arg(i + 1));
        m_samPresent.append(present);
        m_samProtocol.append(protocol);
        const int row = i / 4;
        const int column = (i % 4) * 2;
        sams->addWidget(present, row, column);
        sams->addWidget(protocol, row, column + 1);
        connect(present, &QCheckBox::clicked, this, &ContactCardControls::samsChosen);
        connect(protocol, &QComboBox::activated, this, &ContactCardControls::samsChosen);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(cpuRow);
    layout->addLayout(sams);

    connect(m_cpuCard, &QCheckBox::clicked, this, &ContactCardControls::slotCardChosen);
    connect(m_cpuProtocol, &QComboBox::activated, this, &ContactCardControls::slotCardChosen);

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ContactCardControls::refresh);
    timer->start(500);
    refresh();
}

void ContactCardControls::slotCardChosen() {
    sim::SimCard card = m_reader.card();
    if (m_cpuCard->isChecked()) {
        // A new card arrives at the contacts; a protocol change is a new card too.
        card = sim::contactCpuCard(protocolOf(m_cpuProtocol), sim::CardPlace::IcPosition);
    } else if (card.kind == sim::CardKind::ContactCpu) {
        card = sim::SimCard{};
    }
    m_reader.setCard(card);
}

void ContactCardControls::samsChosen() {
    sim::SamSockets sams = m_reader.sams();
    for (int i = 0; i < sim::kSamSocketCount; ++i) {
        sim::SamSocket &sam = sams[std::size_t(i)];
        const bool present = m_samPresent.at(i)->isChecked();
        const sim::CardProtocol protocol = protocolOf(m_samProtocol.at(i));
        // A SAM taken out or swapped for another starts unpowered.
        if (present != sam.present || protocol != sam.chip.protocol)
            sam = sim::SamSocket{present, sim::ContactChip{protocol, false}};
    }
    m_reader.setSams(sams);
}

void ContactCardControls::refresh() {
    const sim::SimCard card = m_reader.card();
    const bool cpu = card.kind == sim::CardKind::ContactCpu;
    m_cpuCard->setChecked(cpu);
    if (cpu)
        showProtocol(m_cpuProtocol, card.chip.protocol);
    const sim::SamSockets sams = m_reader.sams();
    for (int i = 0; i < sim::kSamSocketCount; ++i) {
        m_samPresent.at(i)->setChecked(sams[std::size_t(i)].present);
        showProtocol(m_samProtocol.at(i), sams[std::size_t(i)].chip.protocol);
    }
}

} // namespace talvex::app
