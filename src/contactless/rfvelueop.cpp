#include "rfvelueop.h"

#include "rfcommand.h"

#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex::contactless {
namespace {

const QString kReadTitle = QStringLiteral("Read Data");
// The read boxes of a wrong sector, a wrong key and a bad format carry a
// leading blank in their title.
const char *const kReadTitleBlank = " Read Data";

QByteArray littleEndian(quint32 value) {
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char((value >> (8 * i)) & 0xFF);
    return bytes;
}

} // namespace

int valueBlockAddress(int sector, int block) {
    return sector < 32 ? sector * 4 + block : 128 + (sector - 32) * 16 + block;
}

RFVELUEOP::RFVELUEOP(link::ReaderLinkContext &reader, quint8 sector, quint8 block, QWidget *parent)
    : QDialog(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }),
      m_sector(sector) {
    setObjectName(QStringLiteral("RFVELUEOP"));
    setWindowTitle(QStringLiteral("Value Operation"));

    auto *header = new QGridLayout;
    auto *sectorCaption = new QLabel(QStringLiteral("Sector No.(HEX)"), this);
    m_sectorLabel = new QLabel(link::byteText(sector), this);
    m_sectorLabel->setObjectName(QStringLiteral("Label13"));
    auto *blockCaption = new QLabel(QStringLiteral("Block No.(HEX)"), this);
    m_block = new QComboBox(this);
    m_block->setObjectName(QStringLiteral("Combo2"));
    m_block->setEditable(true);
    m_block->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i <= 0x0E; ++i)
        m_block->addItem(link::byteText(quint8(i)));
    m_block->setCurrentText(link::byteText(block));
    header->addWidget(sectorCaption, 0, 0);
    header->addWidget(m_sectorLabel, 0, 1);
    header->addWidget(blockCaption, 0, 2);
    header->addWidget(m_block, 0, 3);
    header->setColumnStretch(4, 1);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("ValueTabs"));
    const QStringList captions = {QStringLiteral("Read"), QStringLiteral("Initialize"),
                                  QStringLiteral("Add value"), QStringLiteral("Devalue")};
    for (int tab = 0; tab < captions.size(); ++tab)
        m_tabs->addTab(buildTab(tab), captions.at(tab));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_tabs);
}

QWidget *RFVELUEOP::buildTab(int tab) {
    auto *page = new QWidget(m_tabs);
    auto *form = new QFormLayout;
    const auto box = [page](const char *name, const char *text) {
        auto *edit = new QLineEdit(QString::fromLatin1(text), page);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    QCoro::Task<> (RFVELUEOP::*execute)() = nullptr;
    switch (tab) {
    case 0:
        m_text1 = box("Text1", "");
        m_text1->setReadOnly(true);
        m_text5 = box("Text5", "");
        m_text5->setReadOnly(true);
        form->addRow(QStringLiteral("DEC"), m_text1);
        form->addRow(QStringLiteral("HEX"), m_text5);
        execute = &RFVELUEOP::Command1_Click;
        break;
    case 1:
        m_text2 = box("Text2", "0");
        form->addRow(QStringLiteral("Value (dec)"), m_text2);
        execute = &RFVELUEOP::Command3_Click;
        break;
    case 2:
        m_text3 = box("Text3", "1");
        form->addRow(QStringLiteral("Value (dec)"), m_text3);
        execute = &RFVELUEOP::Command5_Click;
        break;
    default:
        m_text4 = box("Text4", "0");
        form->addRow(QStringLiteral("Value (dec)"), m_text4);
        execute = &RFVELUEOP::Command7_Click;
        break;
    }
    auto *run = new QPushButton(QStringLiteral("Execute"), page);
    run->setObjectName(QStringLiteral("Command%1").arg(2 * tab + 1));
    auto *close = new QPushButton(QStringLiteral("Close"), page);
    close->setObjectName(QStringLiteral("Command%1").arg(2 * tab + 2));
    run->setAutoDefault(false);
    close->setAutoDefault(false);
    connect(run, &QPushButton::clicked, this, [this, execute] {
        m_operations.run(m_reader.readerPort(), [this, execute] { return (this->*execute)(); });
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(run);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);
    return page;
}

std::optional<quint8> RFVELUEOP::checkedBlock() const {
    const std::optional<quint8> block = link::hexByteText(m_block->currentText());
    if (!block) {
        link::showCaution(link::text::DataNotEffective);
        return std::nullopt;
    }
    if ((m_sector == 0 && *block == 0) || *block == 3) {
        link::showCaution(QStringLiteral("Write Prohibit In The Block"));
        return std::nullopt;
    }
    return block;
}

// Amounts are whole decimal numbers from 0 up to the signed 32-bit limit. A
// negative amount is refused rather than sent as its two's complement, which
// would turn a subtraction into a huge addition.
std::optional<QByteArray> RFVELUEOP::amountBytes(const QLineEdit *box) {
    bool ok = false;
    const qlonglong value = box->text().trimmed().toLongLong(&ok, 10);
    if (!ok || value < 0 || value > 0x7FFFFFFF) {
        link::showCaution(link::text::DataNotEffective);
        return std::nullopt;
    }
    return littleEndian(quint32(value));
}

QCoro::Task<> RFVELUEOP::Command1_Click() {
    const std::optional<quint8> block = checkedBlock();
    if (!block)
        co_return;
    QByteArray body = QByteArray::fromHex("3533");
    body += char(m_sector);
    body += char(*block);
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const char status = statusAt(*reply, 4);
    if (status == 'Y') {
        const std::optional<quint32> value = valueBlockAmount(*reply);
        if (!value) {
            link::showMessage(QStringLiteral("Read Data Failure"),
                              QString::fromLatin1(kReadTitleBlank), link::MsgIcon::Information);
            co_return;
        }
        m_text5->setText(QStringLiteral("%1").arg(*value, 8, 16, QLatin1Char('0')).toUpper());
        m_text1->setText(QString::number(*value));
        link::showMessage(QStringLiteral("Read Data Successful"), kReadTitle,
                          link::MsgIcon::Information);
        co_return;
    }
    reportStatus(status, kReadTitle,
                 {{'0', "No RF Card in Reader"},
                  {'1', "Sector Error", kReadTitleBlank},
                  {'2', "S/N Error"},
                  {'3', "Password Error", kReadTitleBlank},
                  {'4', "Read Data Failure"},
                  {'E', "No Card in Reader"},
                  {'W', "The card is not at the IC card position"}});
}

QCoro::Task<> RFVELUEOP::Command3_Click() {
    const std::optional<quint8> block = checkedBlock();
    if (!block)
        co_return;
    const std::optional<QByteArray> value = amountBytes(m_text2);
    if (!value)
        co_return;
    const int address = valueBlockAddress(m_sector, *block);
    if (address > 0xFF) {
        link::showCaution(link::text::DataNotEffective);
        co_return;
    }
    QByteArray complement = *value;
    for (char &b : complement)
        b = char(~quint8(b));
    const char a = char(address);
    const char notA = char(~quint8(address));
    QByteArray body = QByteArray::fromHex("3534");
    body += char(m_sector);
    body += char(*block);
    body += *value + complement + *value;
    body += a;
    body += notA;
    body += a;
    body += notA;
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    reportStatus(statusAt(*reply, 4), QStringLiteral("Write Block Data"),
                 {{'Y', "Write Block Data Succful"},
                  {'0', "No RF Card in Reader"},
                  {'1', "Sector Error"},
                  {'2', "S/N Error"},
                  {'3', "Password Error"},
                  {'4', "Block Error"},
                  {'E', "No Card In the Reader"},
                  {'W', "The card is not at the IC card position"}});
}

QCoro::Task<> RFVELUEOP::changeValue(char pm, const QLineEdit *amount, QString title,
                                     const char *formatError, const char *overload,
                                     const char *noCardInReader) {
    const std::optional<quint8> block = checkedBlock();
    if (!block)
        co_return;
    const std::optional<QByteArray> value = amountBytes(amount);
    if (!value)
        co_return;
    QByteArray body = QByteArray::fromHex("35");
    body += pm;
    body += char(m_sector);
    body += char(*block);
    body += *value;
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const QByteArray success = (title + QStringLiteral(" Successful")).toLatin1();
    reportStatus(statusAt(*reply, 4), title,
                 {{'Y', success.constData()},
                  {'0', "No RF Card in Reader"},
                  {'1', "Sector Error"},
                  {'2', "S/N Error"},
                  {'3', "Password Error"},
                  {'4', formatError},
                  {'5', overload},
                  {'E', noCardInReader},
                  {'W', "The card is not at the IC card position"}});
}

QCoro::Task<> RFVELUEOP::Command5_Click() {
    co_await changeValue('7', m_text3, QStringLiteral("Add Value"), "Block Error", "Value Overload",
                         "No Card in Reader");
}

QCoro::Task<> RFVELUEOP::Command7_Click() {
    co_await changeValue('8', m_text4, QStringLiteral("Devalue"), "Block Data Format Error",
                         "Devalue Overload", "No Card in the Reader");
}

} // namespace talvex::contactless
