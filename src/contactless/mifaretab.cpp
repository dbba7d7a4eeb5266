#include "mifaretab.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::contactless {

MifareTab::MifareTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader) {
    auto *typeFrame = new QGroupBox(QStringLiteral("RF CARD TYPE"), this);
    typeFrame->setObjectName(QStringLiteral("RFCardTypeFrame"));
    auto *typeLayout = new QHBoxLayout(typeFrame);
    const QStringList kinds = {QStringLiteral("S50 Card"), QStringLiteral("S70 Card"),
                               QStringLiteral("Ultralight Card")};
    for (int i = 0; i < kinds.size(); ++i) {
        auto *option = new QRadioButton(kinds.at(i), typeFrame);
        option->setObjectName(QStringLiteral("RFCARDTYPEOption_%1").arg(i));
        typeLayout->addWidget(option);
    }
    typeLayout->addStretch();

    m_rfcardFrame1 = new QGroupBox(QStringLiteral("COMMAND"), this);
    m_rfcardFrame1->setObjectName(QStringLiteral("RFcardFrame1"));
    const QList<QPair<QString, QString>> buttons = {
        {QStringLiteral("CmdRfind"), QStringLiteral("Test RF Card")},
        {QStringLiteral("CmdRsn"), QStringLiteral("Card S/N")},
        {QStringLiteral("CmdRpassword"), QStringLiteral("Check Password")},
        {QStringLiteral("CmdRchange"), QStringLiteral("Change Password")},
        {QStringLiteral("CmdRread"), QStringLiteral("Read Data")},
        {QStringLiteral("CmdRwrite"), QStringLiteral("Write Data")},
        {QStringLiteral("CmdRVelue"), QStringLiteral("Value Operation")},
    };
    auto *grid = new QGridLayout(m_rfcardFrame1);
    for (int i = 0; i < buttons.size(); ++i) {
        auto *button = new QPushButton(buttons.at(i).second, m_rfcardFrame1);
        button->setObjectName(buttons.at(i).first);
        grid->addWidget(button, i / 4, i % 4);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(typeFrame);
    layout->addWidget(m_rfcardFrame1);
    layout->addStretch();
}

} // namespace talvex::contactless
