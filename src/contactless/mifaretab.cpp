#include "mifaretab.h"

#include "hexcells.h"
#include "rfcommand.h"
#include "rfvelueop.h"

#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"
#include "ui/seams.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace talvex::contactless {
namespace {

constexpr int kSectors = 40;
constexpr int kBlocks = 16;
constexpr int kCells = 16;
constexpr int kUltralight = 2;
// Under the Ultralight layout a page shows in cells 6 to 9.
constexpr int kPageFirstCell = 6;
constexpr int kPageLastCell = 9;

// The card family's factory key and two further published default keys (the
// MIFARE application directory key and the NFC Forum key).
const QStringList kPresetKeys = {QStringLiteral("FFFFFFFFFFFF"), QStringLiteral("A0A1A2A3A4A5"),
                                 QStringLiteral("D3F7D3F7D3F7")};

const QString kHeader16 = QStringLiteral(
    "00   01    02   03   04    05   06   07    08   09   0A  0B   0C   0D   0E  0F");
const QString kHeader4 = QStringLiteral("00   01    02   03");

const QString kNoCardInReader = QStringLiteral("No Card In The Reader");
const QString kNotAtIcPosition =
    QStringLiteral("The card is not on the IC card operation position");

// Radio buttons of one parent are exclusive; clearing one needs the rule lifted.
void deselect(QRadioButton *button) {
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

// "E" and "W" read the same for every operation of the tab.
void report(char status, const QString &title, std::initializer_list<StatusText> rows) {
    if (status == 'E')
        link::showMessage(kNoCardInReader, title, link::MsgIcon::Information);
    else if (status == 'W')
        link::showMessage(kNotAtIcPosition, title, link::MsgIcon::Information);
    else
        reportStatus(status, title, rows);
}

const std::initializer_list<StatusText> kReadOutcomes = {
    {'0', "No RF Card In The Card"}, {'1', "Wrong Sector"},    {'2', "Wrong S/N"},
    {'3', "Password Wrong"},         {'4', "Read Data Error"},
};
const QString kReadTitle = QStringLiteral("Read RF Card");
const std::initializer_list<StatusText> kWriteOutcomes = {
    {'Y', "Write Data Success"}, {'0', "No RF Card In"},  {'1', "Wrong Sector"},
    {'2', "Wrong S/N"},          {'3', "Password Error"}, {'4', "Wrong Block"},
};
const QString kWriteTitle = QStringLiteral("Write Data To Block");

bool isTrailer(int sector, int block) {
    return block == (sector < 32 ? 3 : 15);
}

} // namespace

MifareTab::MifareTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildSelection());
    layout->addWidget(buildData());
    layout->addWidget(buildKeys());
    layout->addWidget(buildCommands());
    layout->addStretch();

    // The window's start state: first preset key, nothing chosen, S50.
    m_presetKeys->setCurrentIndex(0);
    showPresetKey();
    m_sector = kNothingSelected;
    m_block = kNothingSelected;
    m_cardType.at(0)->setChecked(true);
    RFCARDTYPEOption_Click(0);

    // The choices follow what the buttons show, however they came to be set:
    // a click, the keyboard or an assistive technology. A click on the button
    // already chosen acts again, as a click always has.
    const auto follow = [this](const QList<QRadioButton *> &options,
                               void (MifareTab::*handler)(int)) {
        for (int i = 0; i < int(options.size()); ++i) {
            QRadioButton *option = options.at(i);
            connect(option, &QRadioButton::toggled, this, [this, handler, i](bool on) {
                if (on)
                    (this->*handler)(i);
            });
            connect(option, &QRadioButton::clicked, this, [this, option, handler, i] {
                if (option->isChecked())
                    (this->*handler)(i);
            });
        }
    };
    follow(m_cardType, &MifareTab::RFCARDTYPEOption_Click);
    follow(m_sectorOption, &MifareTab::Option1_Click);
    follow(m_blockOption, &MifareTab::lockNumberCmd_Click);
    // A new entry, however chosen, fills the key cells; a click on the entry
    // already shown fills them again (after the user typed over them).
    connect(m_presetKeys, &QComboBox::currentIndexChanged, this, &MifareTab::RFPasswordList_Click);
    connect(m_presetKeys, &QComboBox::activated, this, &MifareTab::RFPasswordList_Click);
}

QWidget *MifareTab::buildSelection() {
    auto *row = new QWidget(this);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);

    auto *typeFrame = new QGroupBox(QStringLiteral("RF CARD TYPE"), row);
    typeFrame->setObjectName(QStringLiteral("RFCardTypeFrame"));
    auto *typeLayout = new QVBoxLayout(typeFrame);
    const QStringList kinds = {QStringLiteral("S50 Card"), QStringLiteral("S70 Card"),
                               QStringLiteral("Ultralight Card")};
    for (int i = 0; i < kinds.size(); ++i) {
        auto *option = new QRadioButton(kinds.at(i), typeFrame);
        option->setObjectName(QStringLiteral("RFCARDTYPEOption_%1").arg(i));
        typeLayout->addWidget(option);
        m_cardType.append(option);
    }
    m_text1 = new QLineEdit(typeFrame);
    m_text1->setObjectName(QStringLiteral("Text1_0"));
    m_text1->setReadOnly(true);
    m_text1->setFocusPolicy(Qt::NoFocus);
    QPalette grey = m_text1->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    m_text1->setPalette(grey);
    typeLayout->addWidget(m_text1);
    typeLayout->addStretch();

    auto *sectorFrame = new QGroupBox(QStringLiteral("SECTOR"), row);
    sectorFrame->setObjectName(QStringLiteral("SectorFrame"));
    auto *sectorGrid = new QGridLayout(sectorFrame);
    sectorGrid->setHorizontalSpacing(4);
    for (int i = 0; i < kSectors; ++i) {
        auto *option =
            new QRadioButton(QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')), sectorFrame);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        sectorGrid->addWidget(option, i / 8, i % 8);
        m_sectorOption.append(option);
    }

    auto *blockFrame = new QGroupBox(QStringLiteral("BLOCK"), row);
    blockFrame->setObjectName(QStringLiteral("BlockFrame"));
    auto *blockGrid = new QGridLayout(blockFrame);
    for (int i = 0; i < kBlocks; ++i) {
        auto *option = new QRadioButton(QStringLiteral("Block %1").arg(i), blockFrame);
        option->setObjectName(QStringLiteral("lockNumberCmd_%1").arg(i));
        blockGrid->addWidget(option, i / 4, i % 4);
        m_blockOption.append(option);
    }

    rowLayout->addWidget(typeFrame);
    rowLayout->addWidget(sectorFrame, 1);
    rowLayout->addWidget(blockFrame);
    return row;
}

QWidget *MifareTab::buildData() {
    auto *frame = new QGroupBox(QStringLiteral("RF CARD DATA"), this);
    frame->setObjectName(QStringLiteral("RFCardDataFrame"));
    m_dataHeader = new QLabel(frame);
    m_dataHeader->setObjectName(QStringLiteral("RFCardDataLabe"));
    auto *cellRow = new QHBoxLayout;
    const QList<QLineEdit *> cells =
        HexCells::makeCells(frame, QStringLiteral("RFTextLIST"), kCells);
    for (QLineEdit *box : cells)
        cellRow->addWidget(box);
    cellRow->addStretch();
    m_dataCells = new HexCells(cells, this);

    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(m_dataHeader);
    layout->addLayout(cellRow);
    return frame;
}

QWidget *MifareTab::buildKeys() {
    auto *block = new QWidget(this);
    auto *keyRow = new QHBoxLayout;
    auto *passLabel = new QLabel(QStringLiteral("SECTOR PASSWORD"), block);
    passLabel->setObjectName(QStringLiteral("Labelpass"));
    keyRow->addWidget(passLabel);
    QList<QLineEdit *> keys;
    for (int i = 1; i <= 6; ++i) {
        QLineEdit *box = HexCells::makeCells(block, QStringLiteral("p"), 1).constFirst();
        box->setObjectName(QStringLiteral("p%1").arg(i));
        keyRow->addWidget(box);
        keys.append(box);
    }
    m_keyCells = new HexCells(keys, this);
    m_keyCells->setAdvanceOnlyIntoEnabled(true);

    auto *presetLabel = new QLabel(QStringLiteral("PRE- PWD"), block);
    presetLabel->setObjectName(QStringLiteral("RFPasswordListLabel"));
    m_presetKeys = new QComboBox(block);
    m_presetKeys->setObjectName(QStringLiteral("RFPasswordList"));
    m_presetKeys->addItems(kPresetKeys);
    keyRow->addSpacing(12);
    keyRow->addWidget(presetLabel);
    keyRow->addWidget(m_presetKeys);
    keyRow->addStretch();

    // A container of their own keeps the two key options apart from the others.
    auto *keyType = new QWidget(block);
    auto *keyTypeLayout = new QHBoxLayout(keyType);
    keyTypeLayout->setContentsMargins(0, 0, 0, 0);
    m_keyA = new QRadioButton(QStringLiteral("KEY A"), keyType);
    m_keyA->setObjectName(QStringLiteral("RfKeyAB1"));
    m_keyA->setChecked(true);
    auto *keyB = new QRadioButton(QStringLiteral("KEY B"), keyType);
    keyB->setObjectName(QStringLiteral("RfKeyAB2"));
    keyTypeLayout->addWidget(m_keyA);
    keyTypeLayout->addWidget(keyB);

    auto *serialLabel = new QLabel(QStringLiteral("CARD S/N"), block);
    serialLabel->setObjectName(QStringLiteral("ICLabel110"));
    m_serial = new QLabel(block);
    m_serial->setObjectName(QStringLiteral("RFmessage"));
    m_serial->setMinimumWidth(140);
    m_serial->setMinimumHeight(m_presetKeys->sizeHint().height());
    m_serial->setFrameShape(QFrame::Panel);
    m_serial->setFrameShadow(QFrame::Sunken);
    m_serial->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *cardRow = new QHBoxLayout;
    cardRow->addWidget(keyType);
    cardRow->addSpacing(24);
    cardRow->addWidget(serialLabel);
    cardRow->addWidget(m_serial);
    cardRow->addStretch();

    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(keyRow);
    layout->addLayout(cardRow);
    return block;
}

QGroupBox *MifareTab::buildCommands() {
    m_rfcardFrame1 = new QGroupBox(QStringLiteral("COMMAND"), this);
    m_rfcardFrame1->setObjectName(QStringLiteral("RFcardFrame1"));
    struct Button {
        const char *name;
        const char *caption;
        QCoro::Task<> (MifareTab::*handler)();
    };
    const Button buttons[] = {
        {"CmdRfind", "Test RF Card", &MifareTab::CmdRfind_Click},
        {"CmdRsn", "Card S/N", &MifareTab::CmdRsn_Click},
        {"CmdRpassword", "Check Password", &MifareTab::CmdRpassword_Click},
        {"CmdRchange", "Change Password", &MifareTab::CmdRchange_Click},
        {"CmdRread", "Read Data", &MifareTab::CmdRread_Click},
        {"CmdRwrite", "Write Data", &MifareTab::CmdRwrite_Click},
    };
    auto *grid = new QGridLayout(m_rfcardFrame1);
    int i = 0;
    for (const Button &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), m_rfcardFrame1);
        button->setObjectName(QString::fromLatin1(b.name));
        const auto handler = b.handler;
        connect(button, &QPushButton::clicked, this, [this, handler] {
            m_operations.run(m_reader.readerPort(), [this, handler] { return (this->*handler)(); });
        });
        grid->addWidget(button, i / 4, i % 4);
        ++i;
    }
    auto *value = new QPushButton(QStringLiteral("Value Operation"), m_rfcardFrame1);
    value->setObjectName(QStringLiteral("CmdRVelue"));
    connect(value, &QPushButton::clicked, this, &MifareTab::CmdRVelue_Click);
    grid->addWidget(value, i / 4, i % 4);
    m_checkPassword = m_rfcardFrame1->findChild<QPushButton *>(QStringLiteral("CmdRpassword"));
    m_changePassword = m_rfcardFrame1->findChild<QPushButton *>(QStringLiteral("CmdRchange"));
    m_valueOperation = m_rfcardFrame1->findChild<QPushButton *>(QStringLiteral("CmdRVelue"));
    return m_rfcardFrame1;
}

bool MifareTab::ultralight() const {
    return m_cardType.at(kUltralight)->isChecked();
}

QLineEdit *MifareTab::cell(int index) const {
    return m_dataCells->cell(index);
}

bool MifareTab::discardWaitingBytes() {
    try {
        m_reader.readerPort().setInBufferCount(0);
    } catch (const link::SerialError &) {
        link::showCaution(link::text::DataNotEffective);
        return false;
    }
    return true;
}

std::optional<QByteArray> MifareTab::keyBytes() const {
    for (QLineEdit *box : m_keyCells->cells()) {
        if (box->text().isEmpty()) {
            link::showCaution(QStringLiteral("Input Password First"));
            return std::nullopt;
        }
    }
    QByteArray key;
    for (QLineEdit *box : m_keyCells->cells()) {
        const std::optional<quint8> byte = link::hexByteText(box->text());
        if (!byte) {
            link::showCaution(link::text::DataNotEffective);
            return std::nullopt;
        }
        key += char(*byte);
    }
    return key;
}

std::optional<QByteArray> MifareTab::cellBytes(int first, int last) const {
    for (int i = first; i <= last; ++i) {
        if (cell(i)->text().size() != 2) {
            link::showCaution(QStringLiteral("Please input the data first"));
            return std::nullopt;
        }
    }
    QByteArray bytes;
    for (int i = first; i <= last; ++i) {
        const std::optional<quint8> byte = link::hexByteText(cell(i)->text());
        if (!byte) {
            link::showCaution(link::text::DataNotEffective);
            return std::nullopt;
        }
        bytes += char(*byte);
    }
    return bytes;
}

void MifareTab::RFCARDTYPEOption_Click(int index) {
    for (QLineEdit *box : m_dataCells->cells()) {
        box->clear();
        box->hide();
    }
    for (QRadioButton *option : std::as_const(m_blockOption)) {
        option->setEnabled(false);
        deselect(option);
    }
    for (QRadioButton *option : std::as_const(m_sectorOption)) {
        option->setEnabled(false);
        deselect(option);
    }
    m_checkPassword->setEnabled(true);
    m_changePassword->setEnabled(true);
    m_valueOperation->setEnabled(true);
    m_sector = kNothingSelected;
    m_block = kNothingSelected;

    const int sectors = index == 1 ? kSectors : 16;
    const int blocks = index == 0 ? 4 : index == 1 ? kBlocks : 0;
    for (int i = 0; i < sectors; ++i)
        m_sectorOption.at(i)->setEnabled(true);
    for (int i = 0; i < blocks; ++i)
        m_blockOption.at(i)->setEnabled(true);
    if (index == kUltralight) {
        m_dataHeader->setText(kHeader4);
        for (int i = kPageFirstCell; i <= kPageLastCell; ++i)
            cell(i)->show();
        m_dataCells->setRing(kPageFirstCell, kPageLastCell);
        m_checkPassword->setEnabled(false);
        m_changePassword->setEnabled(false);
        m_valueOperation->setEnabled(false);
    } else {
        m_dataHeader->setText(kHeader16);
        for (QLineEdit *box : m_dataCells->cells())
            box->show();
        m_dataCells->setFullRing();
    }
}

void MifareTab::Option1_Click(int index) {
    m_block = kNothingSelected;
    for (QRadioButton *option : std::as_const(m_blockOption))
        deselect(option);
    m_dataCells->clear();
    for (QLineEdit *box : m_keyCells->cells()) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, QPalette().color(QPalette::Base));
        box->setPalette(palette);
        box->setEnabled(true);
        box->clear();
    }
    m_text1->setText(QStringLiteral("Sector %1").arg(index));
    m_sector = quint8(index);
    const bool large = index >= 32;
    for (int i = 0; i < kBlocks; ++i)
        m_blockOption.at(i)->setEnabled(!ultralight() && (large || i < 4));
}

void MifareTab::lockNumberCmd_Click(int index) {
    m_block = quint8(index);
}

void MifareTab::showPresetKey() {
    const QString key = m_presetKeys->currentText();
    for (int n = 0; n < m_keyCells->count(); ++n)
        m_keyCells->cell(n)->setText(key.mid(2 * n, 2));
}

// Each pair goes in as if typed: a full cell hands the focus on, so the focus
// ends in the cell after the last one filled.
void MifareTab::RFPasswordList_Click() {
    const QString key = m_presetKeys->currentText();
    for (int n = 0; n < m_keyCells->count(); ++n)
        m_keyCells->enter(n, key.mid(2 * n, 2));
}

QCoro::Task<> MifareTab::CmdRfind_Click() {
    if (!link::portReady(m_reader))
        co_return;
    const auto reply = co_await exchangeBody(m_reader, QByteArray::fromHex("3530"));
    if (!reply)
        co_return;
    report(statusAt(*reply, 2), QStringLiteral("Test RF Card"),
           {{'Y', "Card Test Success"}, {'N', "Card Test Error"}});
}

QCoro::Task<> MifareTab::CmdRsn_Click() {
    if (!link::portReady(m_reader))
        co_return;
    m_serial->clear();
    const QByteArray body = QByteArray::fromHex(ultralight() ? "3542" : "3531");
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const char status = statusAt(*reply, 2);
    if (status == 'Y')
        m_serial->setText(replyHex(*reply, 3));
    report(status, QStringLiteral("Read Card S/N"),
           {{'Y', "Read Card S/N Success"}, {'N', "Read Card S/N Error"}});
}

QCoro::Task<> MifareTab::CmdRpassword_Click() {
    if (!link::portReady(m_reader) || !discardWaitingBytes() || !selectionMade(false))
        co_return;
    const std::optional<QByteArray> key = keyBytes();
    if (!key)
        co_return;
    QByteArray body = QByteArray::fromHex("35");
    body += m_keyA->isChecked() ? '2' : '9';
    body += char(m_sector);
    body += *key;
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    report(statusAt(*reply, 3), QStringLiteral("Check Password"),
           {{'Y', "Check Password Success"}, {'0', "No RF Card In"}, {'3', "Password Error"}});
}

QCoro::Task<> MifareTab::CmdRchange_Click() {
    if (!link::portReady(m_reader) || !discardWaitingBytes() || !selectionMade(false))
        co_return;
    const std::optional<QByteArray> key = keyBytes();
    if (!key)
        co_return;
    QByteArray body = QByteArray::fromHex("3535");
    body += char(m_sector);
    body += *key;
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    report(statusAt(*reply, 3), QStringLiteral("Change Sector Password"),
           {{'Y', "Change Password Success"},
            {'0', "No RF Card In The Reader"},
            {'1', "Wrong Sector"},
            {'2', "Wrong S/N"},
            {'3', "Password Error"},
            {'4', "Wrong Block"}});
}

QCoro::Task<> MifareTab::CmdRread_Click() {
    if (!link::portReady(m_reader))
        co_return;
    QByteArray body = QByteArray::fromHex("35");
    body += ultralight() ? 'C' : '3';
    body += char(m_sector);
    if (ultralight()) {
        if (selectionMade(false))
            co_await readCells(body, kPageFirstCell, kPageLastCell, "Read Data Success");
    } else if (selectionMade(true)) {
        co_await readCells(body + char(m_block), 0, kCells - 1, "Read Success");
    }
}

// The status byte follows the parameters of the body, the data the status,
// and ETX and BCC close the reply.
QCoro::Task<> MifareTab::readCells(QByteArray body, int first, int last, const char *success) {
    m_dataCells->clear();
    const auto reply = co_await exchangeBody(m_reader, body);
    if (!reply)
        co_return;
    const int statusIndex = int(body.size());
    const char status = statusAt(*reply, statusIndex);
    if (status != 'Y') {
        report(status, kReadTitle, kReadOutcomes);
        co_return;
    }
    const int wanted = last - first + 1;
    const int came = std::clamp(int(reply->size()) - 2 - (statusIndex + 1), 0, wanted);
    for (int i = 0; i < came; ++i)
        cell(first + i)->setText(link::byteText(replyByte(*reply, statusIndex + 1 + i)));
    if (came < wanted) {
        // The cells the reply did not reach stay empty: no success to report.
        m_reader.showStatus(QStringLiteral("Read RF Card: the reply was short, %1 of %2 data "
                                           "bytes came; only those are shown.")
                                .arg(came)
                                .arg(wanted));
    } else {
        report(status, kReadTitle, {{'Y', success}});
    }
    cell(first)->setFocus();
}

QCoro::Task<> MifareTab::CmdRwrite_Click() {
    if (!link::portReady(m_reader) || !discardWaitingBytes())
        co_return;
    QByteArray body = QByteArray::fromHex("35");
    body += ultralight() ? 'D' : '4';
    body += char(m_sector);
    if (ultralight()) {
        // The window protects no page; the card answers for its own.
        if (selectionMade(false))
            co_await writeCells(body, kPageFirstCell, kPageLastCell);
        co_return;
    }
    if (!selectionMade(true))
        co_return;
    if (m_sector == 0 && m_block == 0) {
        link::showCaution(QStringLiteral("Write Prohibit In The Block"));
        co_return;
    }
    if (isTrailer(m_sector, m_block) &&
        link::showMessage(QStringLiteral("Are you sure to modify\r\nthe password of present "
                                         "sector and control key memory area?"),
                          link::text::Caution, link::MsgIcon::Question,
                          link::MsgButtons::OkCancel) != link::MsgAnswer::Ok)
        co_return;
    co_await writeCells(body + char(m_block), 0, kCells - 1);
}

QCoro::Task<> MifareTab::writeCells(QByteArray body, int first, int last) {
    const std::optional<QByteArray> cellData = cellBytes(first, last);
    if (!cellData)
        co_return;
    const auto reply = co_await exchangeBody(m_reader, body + *cellData);
    if (reply)
        report(statusAt(*reply, int(body.size())), kWriteTitle, kWriteOutcomes);
}

bool MifareTab::selectionMade(bool needsBlock) const {
    if (m_sector == kNothingSelected) {
        link::showCaution(QStringLiteral("Select Sector First"));
        return false;
    }
    if (needsBlock && m_block == kNothingSelected) {
        link::showCaution(QStringLiteral("Select Block First"));
        return false;
    }
    return true;
}

void MifareTab::CmdRVelue_Click() {
    if (!selectionMade(true))
        return;
    RFVELUEOP window(m_reader, m_sector, m_block, this);
    ui::execModal(window);
}

} // namespace talvex::contactless
