#include "cpucard.h"

#include "apducontrols.h"
#include "contactcommands.h"

#include "link/exchange.h"
#include "link/serialcomm.h"

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
    : QDialog(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
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
    cold->setAutoDefault(true);
    warm->setAutoDefault(true);
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

    connect(cold, &QPushButton::clicked, this, [this] { start(&CPUCARD::CPUColdReset_Click); });
    connect(warm, &QPushButton::clicked, this, [this] { start(&CPUCARD::CPUWarmReset_Click); });
    connect(c.send, &QPushButton::clicked, this, [this] { start(&CPUCARD::SendCmd_Click); });
    connect(c.powerOff, &QPushButton::clicked, this, [this] { start(&CPUCARD::Down_Click); });
    connect(c.exit, &QPushButton::clicked, this, &CPUCARD::BackCmd_Click);
}

void CPUCARD::start(Handler handler) {
    m_operations.run(m_reader.readerPort(), [this, handler] { return (this->*handler)(); });
}

void CPUCARD::done(int result) {
    if (m_operations.running())
        m_reader.readerPort().abandonWait();
    QDialog::done(result);
}

QCoro::Task<> CPUCARD::reset(QByteArray body) {
    m_backText->clear();
    m_resetText->clear();
    if (!portReady(m_reader))
        co_return;
    const std::optional<QByteArray> reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const quint8 status = statusAt(*reply, 2);
    if (status == 'Y' || status == 'Z') {
        // Bytes 3 and 4 of the reply are the ATR's length, not part of it.
        m_resetText->setText(replyHex(*reply, 5));
        protocolFlags().slotCard = status == 'Y' ? 0 : 1;
    }
    reportStatus(texts::cpuReset(), status);
}

QCoro::Task<> CPUCARD::CPUColdReset_Click() {
    co_await reset(coldResetBody(m_isoMode->isChecked()));
}

QCoro::Task<> CPUCARD::CPUWarmReset_Click() {
    co_await reset(warmResetBody());
}

QCoro::Task<> CPUCARD::SendCmd_Click() {
    if (!portReady(m_reader))
        co_return;
    const ApduText command = parseApduText(m_cmdText->currentText(), kMaxSlotApdu);
    if (command.fault == ApduText::Fault::Empty) {
        link::showCaution(apduFaultText(command.fault));
        co_return;
    }
    m_backText->clear();
    if (command.fault != ApduText::Fault::None) {
        link::showCaution(apduFaultText(command.fault));
        co_return;
    }
    const std::optional<QByteArray> reply =
        co_await exchangeBody(m_reader, slotApduBody(protocolFlags().slotCard, command.apdu));
    if (!reply)
        co_return;
    const quint8 status = statusAt(*reply, 2);
    if (status == 'Y')
        m_backText->setPlainText(replyHex(*reply, 5));
    reportStatus(texts::apdu(), status);
}

QCoro::Task<> CPUCARD::Down_Click() {
    m_backText->clear();
    m_resetText->clear();
    if (!portReady(m_reader))
        co_return;
    const std::optional<QByteArray> reply = co_await exchangeBody(m_reader, slotPowerBody(false));
    if (reply)
        reportStatus(texts::powerOff(), statusAt(*reply, 2));
}

void CPUCARD::BackCmd_Click() {
    accept();
}

} // namespace talvex::contact
