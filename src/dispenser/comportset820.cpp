#include "comportset820.h"

#include "panelparts.h"

#include "link/messages.h"
#include "link/portmap.h"
#include "link/serialcomm.h"
#include "link/serialerror.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::dispenser {
namespace {

constexpr int kLastPort = 15;
constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400};

QStringList portItems() {
    QStringList items;
    for (int port = 1; port <= kLastPort; ++port)
        items << QStringLiteral("COM%1").arg(port);
    return items;
}

QStringList baudItems() {
    QStringList items;
    for (int baud : kBaudRates)
        items << QStringLiteral("%1 bits/s").arg(baud);
    return items;
}

const QStringList kParityItems = {QStringLiteral("None"), QStringLiteral("Odd"),
                                  QStringLiteral("Even")};
const QStringList kDataBitItems = {QStringLiteral("7 bits"), QStringLiteral("8 bits")};
const QStringList kStopBitItems = {QStringLiteral("1 bit"), QStringLiteral("2 bits")};

} // namespace

PortChoice readPortChoice(const QString &port, const QString &baud, const QString &parity,
                          const QString &dataBits, const QString &stopBits) {
    struct Field {
        const QString &text;
        QStringList accepted;
        const char *failure;
    };
    const Field fields[] = {
        {port, portItems(), "Invalid Comm Port Setting"},
        {baud, baudItems(), "Invalid Baud Rate Setting"},
        {parity, kParityItems, "Invalid Parity Setting"},
        {dataBits, kDataBitItems, "Invalid Data Bits Setting"},
        {stopBits, kStopBitItems, "Invalid Stop Bits Setting"},
    };
    qsizetype index[5] = {};
    PortChoice choice;
    for (int i = 0; i < 5; ++i) {
        index[i] = fields[i].accepted.indexOf(fields[i].text);
        if (index[i] < 0) {
            choice.failure = QLatin1String(fields[i].failure);
            return choice;
        }
    }
    choice.port = int(index[0]) + 1;
    choice.settings = QString::number(kBaudRates[index[1]]) + QLatin1Char("noe"[index[2]]) +
                      QString::number(7 + index[3]) + QString::number(1 + index[4]);
    return choice;
}

QString portErrorCause(const link::SerialComm &comm, int errorNumber) {
    if (!comm.lineTrouble().isEmpty())
        return comm.lineTrouble();
    const int port = comm.CommPort();
    const QString com = QStringLiteral("COM%1").arg(port);
    const QString path = link::portmap::devicePath(port);
    const QString where = path.isEmpty() ? com : QStringLiteral("%1 (%2)").arg(com, path);
    switch (errorNumber) {
    case link::kPortNotFound:
        return QStringLiteral("%1: no such device, or no permission to open it").arg(where);
    case link::kPortInUse:
        return QStringLiteral("%1: the port is held by another program or window").arg(where);
    case link::kPortNotOpen:
        return QStringLiteral("%1: the port is not open, or the device went away").arg(where);
    case link::kPortIoFailed:
        return QStringLiteral("%1: the driver refused to read or write").arg(where);
    default:
        return QStringLiteral("%1: serial error %2").arg(where).arg(errorNumber);
    }
}

DispenserPortDialog::DispenserPortDialog(DispenserPortOwner &owner, PortDialogTexts texts,
                                         QWidget *parent)
    : QDialog(parent), m_owner(owner), m_texts(std::move(texts)),
      m_operations([this](link::SerialComm &line) {
          m_owner.reportCause(link::busyLineText(line));
      }) {
    setWindowTitle(QStringLiteral("Communication Setting"));

    auto *portFrame = new QGroupBox(QStringLiteral("Comm Port Number"), this);
    m_port = editableList("PortCombo", portItems(), QStringLiteral("COM1"), this);
    auto *portLayout = new QVBoxLayout(portFrame);
    portLayout->addWidget(m_port);

    auto *propertyFrame = new QGroupBox(QStringLiteral("Comm Property"), this);
    m_baud = editableList("BaudCombo", baudItems(), QStringLiteral("9600 bits/s"), this);
    m_parity = editableList("ParityCombo", kParityItems, QStringLiteral("None"), this);
    m_dataBits = editableList("DatabitCombo", kDataBitItems, QStringLiteral("8 bits"), this);
    m_stopBits = editableList("StopbitCombo", kStopBitItems, QStringLiteral("1 bit"), this);
    auto *grid = new QGridLayout(propertyFrame);
    const std::pair<const char *, QComboBox *> rows[] = {{"Baud Rate", m_baud},
                                                         {"Parity", m_parity},
                                                         {"Data Bits", m_dataBits},
                                                         {"Stop Bits", m_stopBits}};
    int row = 0;
    for (const auto &[caption, combo] : rows) {
        auto *label = new QLabel(QString::fromLatin1(caption), propertyFrame);
        label->setBuddy(combo);
        grid->addWidget(label, row, 0);
        grid->addWidget(combo, row, 1);
        ++row;
    }

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    connect(m_ok, &QPushButton::clicked, this, [this] {
        m_operations.run(m_owner.port(), [this] { return Command1_Click(); });
    });
    connect(cancel, &QPushButton::clicked, this, &DispenserPortDialog::Command2_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(portFrame);
    layout->addWidget(propertyFrame);
    layout->addLayout(buttons);
}

bool DispenserPortDialog::openPort(int port, const QString &settings) {
    link::SerialComm &comm = m_owner.port();
    try {
        if (comm.PortOpen()) {
            comm.setPortOpen(false);
            m_owner.portLost();
        }
        if (comm.CommPort() != port)
            comm.setCommPort(port);
        comm.setSettings(settings);
        if (!comm.PortOpen())
            comm.setPortOpen(true);
        return true;
    } catch (const link::SerialError &error) {
        if (error.number() == link::kPortNotFound)
            link::showCaution(
                QStringLiteral("Invalid Comm. Port Selection, Please Select Valid Comm. Port"));
        else if (error.number() == link::kPortInUse)
            link::showCaution(m_texts.portInUse);
        const QString holder = m_owner.tabHolding(port);
        if (error.number() == link::kPortInUse && !holder.isEmpty())
            m_owner.reportCause(QStringLiteral("COM%1 is open on the %2 tab of this window")
                                    .arg(port)
                                    .arg(holder));
        else
            m_owner.reportCause(portErrorCause(comm, error.number()));
        return false;
    }
}

QCoro::Task<> DispenserPortDialog::Command1_Click() {
    m_ok->setEnabled(false);
    const PortChoice choice =
        readPortChoice(m_port->currentText(), m_baud->currentText(), m_parity->currentText(),
                       m_dataBits->currentText(), m_stopBits->currentText());
    if (!choice.failure.isEmpty()) {
        link::showCaution(choice.failure);
        m_ok->setEnabled(true);
        co_return;
    }
    m_owner.stopPoll();
    if (!openPort(choice.port, choice.settings)) {
        m_ok->setEnabled(true);
        co_return;
    }
    const bool detected = co_await m_owner.detectDispenser();
    if (!detected) {
        link::showCaution(QStringLiteral("Card Dispenser not Detected\r\n") +
                          m_texts.setupErrorLine + QStringLiteral("\r\n") + m_texts.noPowerLine +
                          QStringLiteral("\r\n3.Communication Line not Connected"));
        try {
            if (m_owner.port().PortOpen())
                m_owner.port().setPortOpen(false);
        } catch (const link::SerialError &) {
            // Closed already, which is all that was wanted.
        }
        m_owner.stopPoll();
        m_ok->setEnabled(true);
        co_return;
    }
    m_owner.portSetUp();
    m_ok->setEnabled(true);
    accept();
}

void DispenserPortDialog::Command2_Click() {
    reject();
}

ComPortSet820::ComPortSet820(DispenserPortOwner &owner, QWidget *parent)
    : DispenserPortDialog(owner,
                          {QStringLiteral("1.Comm Port Setup Error"),
                           QStringLiteral("2.No Power on Card Cispenser"),
                           QStringLiteral("The Comm. Port has been Used for One Quipment, Please "
                                          "Select Another Comm. Port")},
                          parent) {
    setObjectName(QStringLiteral("ComPortSet820"));
}

ComPortSet840::ComPortSet840(DispenserPortOwner &owner, QWidget *parent)
    : DispenserPortDialog(owner,
                          {QStringLiteral("1.Comm. Port Setup Error"),
                           QStringLiteral("2.No Power on Card Dispenser"),
                           QStringLiteral("The Comm Port has been Used for One Quipment, Please "
                                          "Select Another Comm. Port")},
                          parent) {
    setObjectName(QStringLiteral("ComPortSet840"));
}

} // namespace talvex::dispenser
