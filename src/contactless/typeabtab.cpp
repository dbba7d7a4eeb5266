#include "typeabtab.h"

#include "rfcommand.h"

#include "link/apdutext.h"
#include "link/exchange.h"
#include "link/messages.h"
#include "link/serialcomm.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::contactless {
namespace {

// The reader's length low byte carries the body: 35h, 65h, LH, LL and the APDU.
constexpr int kMaxApduBytes = 255 - 4;

} // namespace

TypeABTab::TypeABTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
    m_rfcardFrame2 = new QGroupBox(QStringLiteral("CPU CARD"), this);
    m_rfcardFrame2->setObjectName(QStringLiteral("RFcardFrame2"));
    m_typeA = new QRadioButton(QStringLiteral("TYPE A"), m_rfcardFrame2);
    m_typeA->setObjectName(QStringLiteral("CPUOption1"));
    m_typeA->setChecked(true);
    auto *typeB = new QRadioButton(QStringLiteral("TYPE B"), m_rfcardFrame2);
    typeB->setObjectName(QStringLiteral("CPUOption2"));

    auto *grid = new QGridLayout(m_rfcardFrame2);
    grid->addWidget(m_typeA, 0, 0);
    grid->addWidget(typeB, 0, 1);
    struct Button {
        const char *name;
        const char *caption;
        QCoro::Task<> (TypeABTab::*handler)();
    };
    const Button buttons[] = {
        {"select_Card", "Polling", &TypeABTab::select_Card_Click},
        {"CPUTypeASNCmd", "SN", &TypeABTab::CPUTypeASNCmd_Click},
        {"SendCmd", "Send APDU", &TypeABTab::SendCmd_Click},
        {"Deselect_Card", "DESELECT", &TypeABTab::Deselect_Card_Click},
    };
    auto *buttonRow = new QHBoxLayout;
    for (const Button &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), m_rfcardFrame2);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setMinimumWidth(110);
        const auto handler = b.handler;
        connect(button, &QPushButton::clicked, this, [this, handler] {
            m_operations.run(m_reader.readerPort(), [this, handler] { return (this->*handler)(); });
        });
        buttonRow->addWidget(button);
    }
    buttonRow->addStretch();
    grid->addLayout(buttonRow, 1, 0, 1, 4);

    const auto caption = [this](const char *name, const char *text) {
        auto *label = new QLabel(QString::fromLatin1(text), m_rfcardFrame2);
        label->setObjectName(QString::fromLatin1(name));
        return label;
    };
    m_selectText = new QLineEdit(m_rfcardFrame2);
    m_selectText->setObjectName(QStringLiteral("SelectText"));
    m_selectText->setReadOnly(true);
    m_cmdText = new QComboBox(m_rfcardFrame2);
    m_cmdText->setObjectName(QStringLiteral("CmdText"));
    m_cmdText->setEditable(true);
    m_cmdText->setInsertPolicy(QComboBox::NoInsert);
    m_cmdText->addItems({QStringLiteral("0084000008"), QStringLiteral("00A40000023F00"),
                         QStringLiteral("00A404000E315041592E5359532E4444463031")});
    m_cmdText->setCurrentText(QStringLiteral("00A40000023F00"));
    m_backText = new QLineEdit(m_rfcardFrame2);
    m_backText->setObjectName(QStringLiteral("BackText"));
    m_backText->setReadOnly(true);
    m_serial = new QLabel(m_rfcardFrame2);
    m_serial->setObjectName(QStringLiteral("CPURFmessage"));
    m_serial->setFrameShape(QFrame::Panel);
    m_serial->setFrameShadow(QFrame::Sunken);
    m_serial->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_serial->setMinimumHeight(m_backText->sizeHint().height());

    grid->addWidget(caption("ResetLabel", "ATR"), 2, 0);
    grid->addWidget(m_selectText, 2, 1, 1, 3);
    grid->addWidget(caption("CmdLabel", "C_APDU"), 3, 0);
    grid->addWidget(m_cmdText, 3, 1, 1, 3);
    grid->addWidget(caption("BackLabel", "R_APDU"), 4, 0);
    grid->addWidget(m_backText, 4, 1, 1, 3);
    grid->addWidget(caption("CPUSNLabel", "Card SN"), 5, 0);
    grid->addWidget(m_serial, 5, 1, 1, 3);
    grid->setColumnStretch(3, 1);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QWidget *hex : {static_cast<QWidget *>(m_selectText), static_cast<QWidget *>(m_cmdText),
                         static_cast<QWidget *>(m_backText), static_cast<QWidget *>(m_serial)})
        hex->setFont(fixed);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_rfcardFrame2);
    layout->addStretch();
}

QCoro::Task<> TypeABTab::select_Card_Click() {
    m_selectText->clear();
    m_backText->clear();
    const QByteArray body = QByteArray::fromHex(m_typeA->isChecked() ? "3560" : "3561");
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const char status = statusAt(*reply, 2);
    if (status == 'Y')
        m_selectText->setText(m_selectText->text() + replyHex(*reply, 3));
    reportStatus(
        status, QStringLiteral("Polling"),
        {{'Y', "Polling Success"}, {'N', "Polling Error"}, {'E', "No Card In The Reader"}});
}

QCoro::Task<> TypeABTab::CPUTypeASNCmd_Click() {
    m_serial->clear();
    const auto reply = co_await exchangeBody(m_reader, QByteArray::fromHex("3569"));
    if (!reply)
        co_return;
    const char status = statusAt(*reply, 2);
    if (status == 'Y')
        m_serial->setText(replyHex(*reply, 3));
    reportStatus(status, QStringLiteral("Type A SN"),
                 {{'Y', "Serial number to obtain a successful"},
                  {'N', "Failed to obtain serial number "},
                  {'E', "No Card In The Reader"}});
}

QCoro::Task<> TypeABTab::SendCmd_Click() {
    const link::ApduText command = link::parseApduText(m_cmdText->currentText(), kMaxApduBytes);
    if (command.fault == link::ApduText::Fault::Empty) {
        link::showCaution(link::apduFaultText(command.fault));
        co_return;
    }
    m_backText->clear();
    if (command.fault != link::ApduText::Fault::None) {
        link::showCaution(link::apduFaultText(command.fault));
        co_return;
    }
    QByteArray body = QByteArray::fromHex("3565");
    body += link::apduLength(int(command.apdu.size()));
    body += command.apdu;
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const char status = statusAt(*reply, 2);
    if (status == 'Y')
        m_backText->setText(m_backText->text() + replyHex(*reply, 5));
    reportStatus(status, QStringLiteral("C-APDU"),
                 {{'Y', "Success"}, {'N', "Error"}, {'E', "No Card In The Reader"}});
}

QCoro::Task<> TypeABTab::Deselect_Card_Click() {
    m_selectText->clear();
    const auto reply = co_await exchangeBody(m_reader, QByteArray::fromHex("3568"));
    if (!reply)
        co_return;
    reportStatus(statusAt(*reply, 2), QStringLiteral("DESELECT"),
                 {{'Y', "Success"}, {'N', "Error"}, {'E', "No Card In The Reader"}});
}

} // namespace talvex::contactless
