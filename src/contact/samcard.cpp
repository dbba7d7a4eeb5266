#include "samcard.h"

#include "apducontrols.h"
#include "contactcommands.h"

#include "link/exchange.h"
#include "link/serialcomm.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::contact {
namespace {

constexpr quint8 kFiveVolts = '0';
constexpr quint8 kThreeVolts = '/';
constexpr int kListedSockets = 8;

} // namespace

SimCard::SimCard(link::ReaderLinkContext &reader, QWidget *parent)
    : QDialog(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
    setObjectName(QStringLiteral("SimCard"));
    setWindowTitle(QStringLiteral("Sam Card"));
    setModal(true);

    auto *resetFrame = new QGroupBox(this);
    resetFrame->setObjectName(QStringLiteral("SamResetFrame"));
    auto *socketLabel = new QLabel(QStringLiteral("SAM No."), resetFrame);
    socketLabel->setObjectName(QStringLiteral("SimNoLabel"));
    m_simNo1 = new QComboBox(resetFrame);
    m_simNo1->setObjectName(QStringLiteral("SimNo1"));
    m_simNo1->setEditable(true);
    m_simNo1->setInsertPolicy(QComboBox::NoInsert);
    m_simNo1->setMinimumContentsLength(7);
    for (int i = 1; i <= kListedSockets; ++i)
        m_simNo1->addItem(QStringLiteral("SAM %1").arg(i));
    socketLabel->setBuddy(m_simNo1);

    const QStringList voltages = {QStringLiteral("EMV"), QStringLiteral("ISO7816(5V)"),
                                  QStringLiteral("ISO7816(3V)")};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(voltages.at(i), resetFrame);
        option->setObjectName(QStringLiteral("SAMVOLTAGEOption_%1").arg(i));
        // Followed however the choice is made: mouse, keys or the program.
        connect(option, &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                SAMVOLTAGEOption_Click(i);
        });
        m_samVoltageOption[std::size_t(i)] = option;
    }
    auto *reset = new QPushButton(QStringLiteral("Reset"), resetFrame);
    reset->setObjectName(QStringLiteral("SimReset"));
    reset->setAutoDefault(true);

    auto *resetRow = new QHBoxLayout(resetFrame);
    resetRow->addWidget(socketLabel);
    resetRow->addWidget(m_simNo1);
    for (QRadioButton *option : m_samVoltageOption)
        resetRow->addWidget(option);
    resetRow->addStretch();
    resetRow->addWidget(reset);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(resetFrame);
    const ApduControls c = buildApduControls(this, layout, QStringLiteral("ResetTextBack"));
    m_resetTextBack = c.atr;
    m_cmdText = c.command;
    m_backText = c.response;
    resize(680, 340);

    connect(reset, &QPushButton::clicked, this, [this] { start(&SimCard::SimReset_Click); });
    connect(c.send, &QPushButton::clicked, this, [this] { start(&SimCard::SendCmd_Click); });
    connect(c.powerOff, &QPushButton::clicked, this, [this] { start(&SimCard::Down_Click); });
    connect(c.exit, &QPushButton::clicked, this, &SimCard::BackCmd_Click);

    SimCard_Form_Load();
}

void SimCard::start(Handler handler) {
    m_operations.run(m_reader.readerPort(), [this, handler] { return (this->*handler)(); });
}

void SimCard::done(int result) {
    if (m_operations.running())
        m_reader.readerPort().abandonWait();
    QDialog::done(result);
}

void SimCard::SimCard_Form_Load() {
    m_voltage = kFiveVolts;
    m_samVoltageOption[0]->setChecked(true);
    m_simNo1->setCurrentIndex(0);
    m_cmdText->setCurrentText(initialApduCommand());
}

void SimCard::SAMVOLTAGEOption_Click(int index) {
    m_voltage = index == 2 ? kThreeVolts : kFiveVolts;
}

std::optional<quint8> SimCard::chosenSocket() const {
    const std::optional<quint8> socket = samSocketCode(m_simNo1->currentText());
    if (!socket)
        link::showCaution(QStringLiteral("Please Choose SAM Number First"));
    return socket;
}

QCoro::Task<> SimCard::SimReset_Click() {
    m_backText->clear();
    m_resetTextBack->clear();
    if (!portReady(m_reader))
        co_return;
    const std::optional<quint8> socket = chosenSocket();
    if (!socket)
        co_return;
    const bool emv = m_samVoltageOption[0]->isChecked();
    const std::optional<QByteArray> reply =
        co_await exchangeBody(m_reader, samResetBody(m_voltage, *socket, emv));
    if (!reply)
        co_return;
    const quint8 status = statusAt(*reply, 3);
    if (status == 'Y' || status == 'Z') {
        m_resetTextBack->setText(replyHex(*reply, 6));
        protocolFlags().sam = status == 'Y' ? 0 : 1;
    }
    reportStatus(texts::samReset(), status);
}

QCoro::Task<> SimCard::SendCmd_Click() {
    if (!portReady(m_reader))
        co_return;
    const ApduText command = parseApduText(m_cmdText->currentText(), kMaxSamApdu);
    if (command.fault == ApduText::Fault::Empty) {
        link::showCaution(apduFaultText(command.fault));
        co_return;
    }
    m_backText->clear();
    // The frame's length byte comes before the socket code and the APDU bytes
    // after it, so a bad pair is only found once the socket is known.
    if (command.fault != ApduText::Fault::None && command.fault != ApduText::Fault::NotHex) {
        link::showCaution(apduFaultText(command.fault));
        co_return;
    }
    const std::optional<quint8> socket = chosenSocket();
    if (!socket)
        co_return;
    if (command.fault == ApduText::Fault::NotHex) {
        link::showCaution(apduFaultText(command.fault));
        co_return;
    }
    const std::optional<QByteArray> reply =
        co_await exchangeBody(m_reader, samApduBody(protocolFlags().sam, *socket, command.apdu));
    if (!reply)
        co_return;
    const quint8 status = statusAt(*reply, 3);
    if (status == 'Y')
        m_backText->setPlainText(replyHex(*reply, 6));
    reportStatus(texts::apdu(), status);
}

QCoro::Task<> SimCard::Down_Click() {
    if (!portReady(m_reader))
        co_return;
    m_backText->clear();
    m_resetTextBack->clear();
    const std::optional<QByteArray> reply = co_await exchangeBody(m_reader, samPowerOffBody());
    if (reply)
        reportStatus(texts::samPowerOff(), statusAt(*reply, 2));
}

void SimCard::BackCmd_Click() {
    accept();
}

} // namespace talvex::contact
