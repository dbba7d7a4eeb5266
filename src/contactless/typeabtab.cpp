#include "typeabtab.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::contactless {

TypeABTab::TypeABTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader) {
    m_rfcardFrame2 = new QGroupBox(QStringLiteral("CPU CARD"), this);
    m_rfcardFrame2->setObjectName(QStringLiteral("RFcardFrame2"));
    auto *typeA = new QRadioButton(QStringLiteral("TYPE A"), m_rfcardFrame2);
    typeA->setObjectName(QStringLiteral("CPUOption1"));
    typeA->setChecked(true);
    auto *typeB = new QRadioButton(QStringLiteral("TYPE B"), m_rfcardFrame2);
    typeB->setObjectName(QStringLiteral("CPUOption2"));

    auto *grid = new QGridLayout(m_rfcardFrame2);
    grid->addWidget(typeA, 0, 0);
    grid->addWidget(typeB, 0, 1);
    const QList<QPair<QString, QString>> buttons = {
        {QStringLiteral("select_Card"), QStringLiteral("Polling")},
        {QStringLiteral("CPUTypeASNCmd"), QStringLiteral("SN")},
        {QStringLiteral("SendCmd"), QStringLiteral("Send APDU")},
        {QStringLiteral("Deselect_Card"), QStringLiteral("DESELECT")},
    };
    for (int i = 0; i < buttons.size(); ++i) {
        auto *button = new QPushButton(buttons.at(i).second, m_rfcardFrame2);
        button->setObjectName(buttons.at(i).first);
        grid->addWidget(button, 1, i);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_rfcardFrame2);
    layout->addStretch();
}

} // namespace talvex::contactless
