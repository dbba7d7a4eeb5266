#include "contactlesscardpanel.h"

#include "sim/readersim.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace talvex::app {

ContactlessCardPanel::ContactlessCardPanel(sim::ReaderSim &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("Contactless card"), parent), m_reader(reader) {
    setObjectName(QStringLiteral("ContactlessCardPanel"));
    m_chip = new QComboBox(this);
    m_chip->setObjectName(QStringLiteral("ContactlessCard"));
    m_chip->addItem(QStringLiteral("None"), -1);
    for (sim::RfChip chip : sim::kAllRfChips)
        m_chip->addItem(sim::rfChipName(chip), int(chip));
    auto *again = new QPushButton(QStringLiteral("Present again"), this);
    again->setObjectName(QStringLiteral("ContactlessPresent"));
    again->setToolTip(QStringLiteral("A fresh card: factory keys and data, nothing opened"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("ContactlessState"));
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *row = new QHBoxLayout;
    row->addWidget(m_chip, 1);
    row->addWidget(again);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("On the antenna"), row);
    form->addRow(QStringLiteral("Card state"), m_state);

    connect(m_chip, &QComboBox::activated, this, &ContactlessCardPanel::present);
    connect(again, &QPushButton::clicked, this, &ContactlessCardPanel::present);
    // Keys change and sectors open as the program works with the card.
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ContactlessCardPanel::refresh);
    timer->start(500);
    refresh();
}

void ContactlessCardPanel::present() {
    sim::SimCard card = m_reader.card();
    const int chip = m_chip->currentData().toInt();
    if (chip < 0) {
        // Only a contactless card leaves; another card stays where it is.
        if (card.kind == sim::CardKind::Contactless)
            m_reader.setCard(sim::SimCard{});
    } else {
        if (card.kind != sim::CardKind::Contactless)
            card.place = sim::CardPlace::RfPosition;
        card.kind = sim::CardKind::Contactless;
        card.typeCode = sim::rfTypeCode(sim::RfChip(chip));
        card.contactless = sim::ContactlessCard::fresh(sim::RfChip(chip));
        m_reader.setCard(card);
    }
    refresh();
}

void ContactlessCardPanel::refresh() {
    const sim::SimCard card = m_reader.card();
    if (card.kind != sim::CardKind::Contactless) {
        m_state->setText(QStringLiteral("no contactless card"));
        m_chip->setCurrentIndex(0);
        return;
    }
    const sim::ContactlessCard &rf = card.contactless;
    QString text =
        QStringLiteral("%1, serial number %2")
            .arg(sim::rfChipName(rf.chip), QString::fromLatin1(rf.uid.toHex().toUpper()));
    if (rf.openSector >= 0)
        text += QStringLiteral(", sector %1 open").arg(rf.openSector);
    if (rf.activated)
        text += QStringLiteral(", activated");
    m_state->setText(text);
    const int index = m_chip->findData(int(rf.chip));
    if (m_chip->currentIndex() != index)
        m_chip->setCurrentIndex(index);
}

} // namespace talvex::app
