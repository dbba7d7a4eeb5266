#include "cpucard.h"
#include "link/blockon.h"

#include "apducontrols.h"
#include "contactcommands.h"

#include "link/exchange.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::contact {

CPUCARD::CPUCARD(link::ReaderLinkContext &reader, QWidget *parent)
    : QDialog(parent), m_reader(reader) {
    setObjectName(QStringLiteral("CPUCARD"));
    setWindowTitle(QStringLiteral("CPU Card"));
    setModal(true);

    auto *resetFrame = new QGroupBox(this);
    resetFrame->setObjectName(QStringLiteral("ResetFrame"));
    m_emvMode = new QRadioButton(QStringLiteral("EMV Mode"), resetFrame);
    m_emvMode->setObjectName(QStringLiteral("Option1"));
    m_emvMode->setChecked(true);
    m_isoMode = new QRadioButton(QStringLiteral("ISO7816 Mode"), resetFrame);
    m_isoMode->setObjectName(QStringLiteral("Option2"));
    auto *cold = new QPushButton(QStringLiteral("Cold Reset"), resetFrame);
    cold->setObjectName(QStringLiteral("CPUColdReset"));
    auto *warm = new QPushButton(QStringLiteral("Warm Reset"), resetFrame);
    warm->setObjectName(QStringLiteral("CPUWarmReset"));
    cold->setAutoDefault(false);
    warm->setAutoDefault(false);
    auto *resetRow = new QHBoxLayout(resetFrame);
    resetRow->addWidget(m_emvMode);
    resetRow->addWidget(m_isoMode);
    resetRow->addStretch();
    resetRow->addWidget(cold);
    resetRow->addWidget(warm);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(resetFrame);
    const ApduControls c = buildApduControls(this, layout, QStringLiteral("ResetText"));
    m_resetText = c.atr;
    m_cmdText = c.command;
    m_backText = c.response;
    resize(620, 340);

    connect(cold, &QPushButton::clicked, this, &CPUCARD::CPUColdReset_Click);
    connect(warm, &QPushButton::clicked, this, &CPUCARD::CPUWarmReset_Click);
    connect(c.send, &QPushButton::clicked, this, &CPUCARD::SendCmd_Click);
    connect(c.powerOff, &QPushButton::clicked, this, &CPUCARD::Down_Click);
    connect(c.exit, &QPushButton::clicked, this, &CPUCARD::BackCmd_Click);
}

void CPUCARD::reset(const QByteArray &body) {
    m_backText->clear();
    m_resetText->clear();
    if (!portReady(m_reader))
        return;
    const std::optional<QByteArray> reply = link::blockOn(exchangeBody(m_reader, body));
    if (!reply)
        return;
    const quint8 status = statusAt(*reply, 2);
    if (status == 'Y' || status == 'Z') {
        // Bytes 3 and 4 of the reply are the ATR's length, not part of it.
        m_resetText->setText(replyHex(*reply, 5));
        protocolFlags().slotCard = status == 'Y' ? 0 : 1;
    }
    reportStatus(texts::cpuReset(), status);
}

void CPUCARD::CPUColdReset_Click() {
    reset(coldResetBody(m_isoMode->isChecked()));
}

void CPUCARD::CPUWarmReset_Click() {
    reset(warmResetBody());
}

void CPUCARD::SendCmd_Click() {
    if (!portReady(m_reader))
        return;
    const ApduText command = parseApduText(m_cmdText->currentText(), kMaxSlotApdu);
    if (command.fault == ApduText::Fault::Empty) {
        link::showCaution(apduFaultText(command.fault));
        return;
    }
    m_backText->clear();
    if (command.fault != ApduText::Fault::None) {
        link::showCaution(apduFaultText(command.fault));
        return;
    }
    const std::optional<QByteArray> reply =
        link::blockOn(exchangeBody(m_reader, slotApduBody(protocolFlags().slotCard, command.apdu)));
    if (!reply)
        return;
    const quint8 status = statusAt(*reply, 2);
    if (status == 'Y')
        m_backText->setPlainText(replyHex(*reply, 5));
    reportStatus(texts::apdu(), status);
}

void CPUCARD::Down_Click() {
    m_backText->clear();
    m_resetText->clear();
    if (!portReady(m_reader))
        return;
    if (const std::optional<QByteArray> reply = link::blockOn(exchangeBody(m_reader, slotPowerBody(false))))
        reportStatus(texts::powerOff(), statusAt(*reply, 2));
}

void CPUCARD::BackCmd_Click() {
    accept();
}

} // namespace talvex::contact
