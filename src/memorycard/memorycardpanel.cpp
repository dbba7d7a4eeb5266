#include "memorycardpanel.h"

#include "contactless/hexcells.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/replycodes.h"
#include "link/serialcomm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex::memorycard {
namespace {

constexpr int kCells = 128;
constexpr int kPageSize = 264;
constexpr int kCellsPerRow = 16;

// The parameter boxes' key filter: hexadecimal digits and backspace pass,
// a-f are raised to A-F, every other character is dropped. Keys that type
// nothing (arrows, Tab, Delete) keep their usual work.
class HexBoxFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Paste))
            return true;
        const QString typed = key->text();
        if (typed.size() != 1)
            return false;
        const QChar c = typed.at(0);
        if (c == QLatin1Char('\b') || c == QLatin1Char('\t') || c == QChar(0x7F) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
            (c >= QLatin1Char('A') && c <= QLatin1Char('F')))
            return false;
        if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            static_cast<QLineEdit *>(watched)->insert(c.toUpper());
        return true;
    }
};

bool isHexPair(const QString &text) {
    return text.size() == 2 && link::hexByteText(text);
}

// Rows of a page: a caption and its widgets side by side.
void addRow(QGridLayout *grid, QLabel *caption, const QList<QWidget *> &widgets) {
    const int row = grid->rowCount();
    grid->addWidget(caption, row, 0);
    auto *line = new QHBoxLayout;
    for (QWidget *w : widgets)
        line->addWidget(w);
    line->addStretch();
    grid->addLayout(line, row, 1);
}

QGridLayout *buttonGrid(const QList<QPushButton *> &buttons, int columns = 4) {
    auto *grid = new QGridLayout;
    for (int i = 0; i < buttons.size(); ++i)
        grid->addWidget(buttons.at(i), i / columns, i % columns);
    return grid;
}

} // namespace

MemoryCardPanel::MemoryCardPanel(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
    setObjectName(QStringLiteral("MemoryCardGrid"));
    m_cells = contactless::HexCells::makeCells(this, QStringLiteral("ICText"), kCells, 2);
    m_hexCells = new contactless::HexCells(m_cells, this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto *grid = new QGridLayout(this);
    grid->setSpacing(2);
    for (int i = 0; i < kCells; ++i) {
        if (i % kCellsPerRow == 0) {
            auto *offset =
                new QLabel(QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper(), this);
            offset->setFont(fixed);
            grid->addWidget(offset, i / kCellsPerRow, 0);
        }
        QLineEdit *cell = m_cells.at(i);
        cell->setFont(fixed);
        cell->setFixedWidth(30);
        cell->setAlignment(Qt::AlignCenter);
        grid->addWidget(cell, i / kCellsPerRow, 1 + i % kCellsPerRow);
    }
    grid->setColumnStretch(kCellsPerRow + 1, 1);

    m_pages = {buildSle4428(),    buildSle4442(),   buildAt24c(),    buildAt88sc1604(),
               buildAt88sc1608(), buildAt45db041(), buildAt88sc102()};
    for (QWidget *page : std::as_const(m_pages))
        page->hide();

    for (const MemoryOperation &op : memoryOperations()) {
        QPushButton *b = m_buttons.value(QLatin1String(op.button));
        Q_ASSERT_X(b, "MemoryCardPanel", op.button);
        connect(b, &QPushButton::clicked, this, [this, &op] { run(op); });
    }

    // The window's load: the first entry of each drop-down list of keys and types.
    m_ic24Type->setCurrentIndex(0);
    at24cTypeChanged(m_ic24Type->currentText());
    m_1604Password->setCurrentIndex(0);
    m_1608Password->setCurrentIndex(0);
}

void MemoryCardPanel::addPagesTo(QTabWidget *tabs) {
    for (int i = 0; i < m_pages.size(); ++i) {
        tabs->addTab(m_pages.at(i), familyCaption(Family(i)));
        m_pages.at(i)->show();
    }
}

QLineEdit *MemoryCardPanel::cell(int index) const {
    return m_cells.at(index);
}

// --- building the pages ---------------------------------------------------

QLineEdit *MemoryCardPanel::newBox(QWidget *parent, const char *name, const QString &start) {
    auto *box = new QLineEdit(start, parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(2);
    box->setFixedWidth(34);
    box->setAlignment(Qt::AlignCenter);
    box->installEventFilter(new HexBoxFilter(box));
    m_boxes.insert(QLatin1String(name), box);
    return box;
}

QPushButton *MemoryCardPanel::newButton(QWidget *parent, const char *name) {
    const MemoryOperation *op = findOperation(QLatin1String(name));
    auto *button = new QPushButton(op ? QString::fromLatin1(op->caption) : QString(), parent);
    button->setObjectName(QLatin1String(name));
    m_buttons.insert(QLatin1String(name), button);
    return button;
}

QLabel *MemoryCardPanel::newLabel(QWidget *parent, const QString &text, const char *name) {
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

QWidget *MemoryCardPanel::buildSle4428() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("SLE4428Page"));
    auto *form = new QGridLayout;
    addRow(form, newLabel(page, QStringLiteral("Address (High, Low)")),
           {newBox(page, "SL4428Add1", QStringLiteral("00")),
            newBox(page, "SL4428Add2", QStringLiteral("00"))});
    addRow(form, newLabel(page, QStringLiteral("Length")),
           {newBox(page, "SL4428Long", QStringLiteral("10")),
            newLabel(page, QStringLiteral("(0x01--0x80)"))});
    addRow(form, newLabel(page, QStringLiteral("Password")),
           {newBox(page, "SL4428Pass1", QStringLiteral("FF")),
            newBox(page, "SL4428Pass2", QStringLiteral("FF"))});
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addLayout(
        buttonGrid({newButton(page, "SL4428RESET"), newButton(page, "SL4428PASS"),
                    newButton(page, "SL4428CHANGE"), newButton(page, "SL4428READAREA"),
                    newButton(page, "SL4428READBIT"), newButton(page, "SL4428WRITENO"),
                    newButton(page, "SL4428WRITEYES")},
                   3));
    layout->addStretch();
    return page;
}

QWidget *MemoryCardPanel::buildSle4442() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("SLE4442Page"));
    auto *form = new QGridLayout;
    addRow(form, newLabel(page, QStringLiteral("Address")),
           {newBox(page, "SL4442Add1", QStringLiteral("00"))});
    addRow(form, newLabel(page, QStringLiteral("Length")),
           {newBox(page, "SL4442Long", QStringLiteral("10"))});
    addRow(form, newLabel(page, QStringLiteral("PSC")),
           {newBox(page, "SL4442Pass1", QStringLiteral("FF")),
            newBox(page, "SL4442Pass2", QStringLiteral("FF")),
            newBox(page, "SL4442Pass3", QStringLiteral("FF"))});
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(newLabel(page, QStringLiteral("Main Memory Add. Range : 0x00-0xFF Main "
                                                    "Memory Longth Range :0x01--0x80")));
    layout->addWidget(newLabel(page, QStringLiteral("Protection Memory Add. Range :0x00-0x1F "
                                                    "Protection Memory Longth Range :0x01--0x20")));
    layout->addLayout(
        buttonGrid({newButton(page, "SLE4442RESET"), newButton(page, "SL4442Pass"),
                    newButton(page, "SL4442Change"), newButton(page, "SL4442ReadAnquan"),
                    newButton(page, "SL4442ReadCenChu"), newButton(page, "SL4442WriteCenChu"),
                    newButton(page, "SL4442ReadBaoHu"), newButton(page, "SL4442WriteBaoHu")}));
    layout->addStretch();
    return page;
}

QWidget *MemoryCardPanel::buildAt24c() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("IC24XXPage"));
    m_ic24Type = new QComboBox(page);
    m_ic24Type->setObjectName(QStringLiteral("IC24XXCOMB"));
    m_ic24Type->setEditable(true);
    m_ic24Type->addItems(at24cTypes());
    m_ic24Range = newLabel(page, QString(), "IC24XXADDVAID");
    connect(m_ic24Type, &QComboBox::currentTextChanged, this, &MemoryCardPanel::at24cTypeChanged);
    auto *form = new QGridLayout;
    addRow(form, newLabel(page, QStringLiteral("Card Type")), {m_ic24Type, m_ic24Range});
    addRow(form, newLabel(page, QStringLiteral("Address (High, Low)")),
           {newBox(page, "IC24XXADD1", QStringLiteral("00")),
            newBox(page, "IC24XXADD2", QStringLiteral("00"))});
    addRow(form, newLabel(page, QStringLiteral("Length")),
           {newBox(page, "IC24XXLONG", QStringLiteral("10")),
            newLabel(page, QStringLiteral("(0x01--0x80)"))});
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addLayout(
        buttonGrid({newButton(page, "IC24TYPE"), newButton(page, "IC24XXREAD"),
                    newButton(page, "IC24XXWRITE"), newButton(page, "IC24XXWRITEParity")}));
    layout->addStretch();
    return page;
}

QWidget *MemoryCardPanel::buildAt88sc1604() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("ATC1604Page"));
    m_1604Password = new QComboBox(page);
    m_1604Password->setObjectName(QStringLiteral("ATC1604PassModel1"));
    m_1604Password->addItems(at88sc1604PasswordTypes());
    m_1604Password->setCurrentIndex(-1);
    m_1604Zone = new QComboBox(page);
    m_1604Zone->setObjectName(QStringLiteral("ATC1604AreaModel1"));
    m_1604Zone->addItems(at88sc1604Zones());
    m_1604Zone->setCurrentIndex(-1);
    auto *form = new QGridLayout;
    addRow(form, newLabel(page, QStringLiteral("Password Type")),
           {m_1604Password, newBox(page, "ATC1604pass1"), newBox(page, "ATC1604pass2")});
    addRow(form, newLabel(page, QStringLiteral("Zone")), {m_1604Zone});
    addRow(form, newLabel(page, QStringLiteral("Address (High, Low)")),
           {newBox(page, "ATC1604add1", QStringLiteral("00")),
            newBox(page, "ATC1604add2", QStringLiteral("00"))});
    addRow(form, newLabel(page, QStringLiteral("Length")),
           {newBox(page, "ATC1604Long", QStringLiteral("10")),
            newLabel(page, QStringLiteral("(0x01--0x80)"))});
    addRow(
        form, newLabel(page, QStringLiteral("Mode")),
        {newBox(page, "ATC1604A6format", QStringLiteral("30")), newLabel(page, text::FuseModes)});
    connect(m_1604Password, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0)
            return;
        const QStringList value = at88sc1604DefaultPassword(index);
        m_boxes.value(QStringLiteral("ATC1604pass1"))->setText(value.at(0));
        m_boxes.value(QStringLiteral("ATC1604pass2"))->setText(value.at(1));
    });
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addLayout(
        buttonGrid({newButton(page, "ATC1604RESET"), newButton(page, "ATC1604PASS"),
                    newButton(page, "ATC1604CHANGE"), newButton(page, "ATC1604READ"),
                    newButton(page, "ATC1604Write"), newButton(page, "ATC1604EARSEData"),
                    newButton(page, "ATC1604Format")}));
    layout->addStretch();
    return page;
}

QWidget *MemoryCardPanel::buildAt88sc1608() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("ATC1608Page"));
    m_1608Password = new QComboBox(page);
    m_1608Password->setObjectName(QStringLiteral("ATC1608PassModel1"));
    m_1608Password->addItems(at88sc1608PasswordTypes());
    m_1608Password->setCurrentIndex(-1);
    m_1608Zone = new QComboBox(page);
    m_1608Zone->setObjectName(QStringLiteral("ATC1608AreaModel1"));
    m_1608Zone->addItems(at88sc1608Zones());
    m_1608Zone->setCurrentIndex(-1);
    auto *form = new QGridLayout;
    addRow(form, newLabel(page, QStringLiteral("Password Type")),
           {m_1608Password, newBox(page, "ATC1608pass1", QStringLiteral("FF")),
            newBox(page, "ATC1608pass2", QStringLiteral("FF")),
            newBox(page, "ATC1608pass3", QStringLiteral("FF"))});
    addRow(form, newLabel(page, QStringLiteral("Zone")), {m_1608Zone});
    addRow(form, newLabel(page, QStringLiteral("Address")),
           {newBox(page, "ATC1608Add", QStringLiteral("00"))});
    addRow(form, newLabel(page, QStringLiteral("Length")),
           {newBox(page, "ATC1608Long", QStringLiteral("10")),
            newLabel(page, QStringLiteral("(0x01--0x80)"))});
    QList<QWidget *> random;
    static const char *const kRandom[] = {"ATC1608Vri01", "ATC1608Vri02", "ATC1608Vri03",
                                          "ATC1608Vri04", "ATC1608Vri05", "ATC1608Vri06",
                                          "ATC1608Vri07", "ATC1608Vri08"};
    for (const char *name : kRandom)
        random << newBox(page, name, QStringLiteral("00"));
    addRow(form, newLabel(page, QStringLiteral("Authentication")), random);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addLayout(
        buttonGrid({newButton(page, "ATC1608RESET"), newButton(page, "ATC1608PASS"),
                    newButton(page, "ATC1608READ"), newButton(page, "ATC1608Write"),
                    newButton(page, "ATC1608READRongsi"), newButton(page, "ATC1608WriteRongsi"),
                    newButton(page, "ATC1608Format"), newButton(page, "ATC1608verify")}));
    layout->addStretch();
    return page;
}

QWidget *MemoryCardPanel::buildAt45db041() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("AT45D041Page"));
    auto *form = new QGridLayout;
    addRow(form, newLabel(page, QStringLiteral("Page (High, Low)")),
           {newBox(page, "AT45D041add1", QStringLiteral("00")),
            newBox(page, "AT45D041add2", QStringLiteral("00"))});
    QList<QPushButton *> subPages;
    for (int i = 1; i <= 3; ++i) {
        auto *sub = new QPushButton(QStringLiteral("Page %1").arg(i), page);
        sub->setObjectName(QStringLiteral("AT45D041Sub%1").arg(i));
        connect(sub, &QPushButton::clicked, this, [this, i] { showSubPage(i); });
        subPages << sub;
    }
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addLayout(buttonGrid({newButton(page, "AT45D041Reset"), newButton(page, "AT45D041Read"),
                                  newButton(page, "AT45D041Write")},
                                 3));
    layout->addLayout(buttonGrid(subPages, 3));
    layout->addStretch();
    return page;
}

QWidget *MemoryCardPanel::buildAt88sc102() {
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("ATC102Page"));
    const QStringList options = at88sc102Options();
    QList<QRadioButton *> area;
    for (int i = 0; i < options.size(); ++i) {
        auto *option = new QRadioButton(options.at(i), page);
        option->setObjectName(QStringLiteral("ATC102A4area_%1").arg(i));
        area << option;
    }
    const auto group = [&](int first, int last) {
        auto *g = new QButtonGroup(page);
        for (int i = first; i <= last; ++i)
            g->addButton(area.at(i), i);
        area.at(first)->setChecked(true);
        return g;
    };
    m_102Change = group(0, 2);
    m_102ZoneErase = group(3, 4);
    m_102Zone = group(5, 7);
    m_102EraseZone = group(8, 10);
    const auto boxes = [&](const char *const *names, int count) {
        QList<QWidget *> row;
        for (int i = 0; i < count; ++i)
            row << newBox(page, names[i], QStringLiteral("FF"));
        return row;
    };
    static const char *const kCheck[] = {"ATC102A1pass01", "ATC102A1pass02"};
    static const char *const kCode[] = {"ATC102A1pass1", "ATC102A1pass2"};
    static const char *const kKey1[] = {"ATC102A2pass1", "ATC102A2pass2", "ATC102A2pass3",
                                        "ATC102A2pass4", "ATC102A2pass5", "ATC102A2pass6"};
    static const char *const kKey2[] = {"ATC102A3pass1", "ATC102A3pass2", "ATC102A3pass3",
                                        "ATC102A3pass4"};
    static const char *const kEraseKey1[] = {"ATC102A2pass01", "ATC102A2pass02", "ATC102A2pass03",
                                             "ATC102A2pass04", "ATC102A2pass05", "ATC102A2pass06"};
    static const char *const kEraseKey2[] = {"ATC102A3pass01", "ATC102A3pass02", "ATC102A3pass03",
                                             "ATC102A3pass04"};

    auto *checkFrame = new QGroupBox(QStringLiteral("Check Password"), page);
    auto *checkForm = new QGridLayout(checkFrame);
    addRow(checkForm, newLabel(checkFrame, QStringLiteral("Security Code")), boxes(kCheck, 2));
    m_boxes.value(QStringLiteral("ATC102A1pass01"))->setText(QStringLiteral("F0"));
    m_boxes.value(QStringLiteral("ATC102A1pass02"))->setText(QStringLiteral("F0"));
    checkForm->addWidget(newButton(checkFrame, "ATC102PASS"), checkForm->rowCount(), 1);

    auto *changeFrame = new QGroupBox(QStringLiteral("Change Password"), page);
    auto *changeForm = new QGridLayout(changeFrame);
    addRow(changeForm, new QLabel(changeFrame), {area.at(0), area.at(1), area.at(2)});
    addRow(changeForm, newLabel(changeFrame, QStringLiteral("Security Code")), boxes(kCode, 2));
    addRow(changeForm, newLabel(changeFrame, QStringLiteral("Zone 1 Erase Key")), boxes(kKey1, 6));
    addRow(changeForm, newLabel(changeFrame, QStringLiteral("Zone 2 Erase Key")), boxes(kKey2, 4));
    changeForm->addWidget(newButton(changeFrame, "ATC102CHANGE"), changeForm->rowCount(), 1);

    auto *zoneEraseFrame = new QGroupBox(QStringLiteral("Erase Zone"), page);
    auto *zoneEraseForm = new QGridLayout(zoneEraseFrame);
    addRow(zoneEraseForm, new QLabel(zoneEraseFrame), {area.at(3), area.at(4)});
    addRow(zoneEraseForm, newLabel(zoneEraseFrame, QStringLiteral("Zone 1 Erase Key")),
           boxes(kEraseKey1, 6));
    addRow(zoneEraseForm, newLabel(zoneEraseFrame, QStringLiteral("Zone 2 Erase Key")),
           boxes(kEraseKey2, 4));
    addRow(zoneEraseForm, newLabel(zoneEraseFrame, QStringLiteral("EC2")),
           {newBox(zoneEraseFrame, "ATC102A7EC", QStringLiteral("30")),
            newLabel(zoneEraseFrame, text::Ec2Modes)});
    zoneEraseForm->addWidget(newButton(zoneEraseFrame, "ATC102EARSEZone"),
                             zoneEraseForm->rowCount(), 1);

    auto *dataFrame = new QGroupBox(QStringLiteral("Read / Write"), page);
    auto *dataForm = new QGridLayout(dataFrame);
    m_102ZoneHint = newLabel(dataFrame, at88sc102AddressHint(5), "ATC102A5addLabel");
    addRow(dataForm, new QLabel(dataFrame), {area.at(5), area.at(6), area.at(7)});
    addRow(dataForm, newLabel(dataFrame, QStringLiteral("Address")),
           {newBox(dataFrame, "ATC102A5add", QStringLiteral("00")), m_102ZoneHint});
    addRow(dataForm, newLabel(dataFrame, QStringLiteral("Length")),
           {newBox(dataFrame, "ATC102A6long", QStringLiteral("10")),
            newLabel(dataFrame, QStringLiteral("(0x01--0x80)"))});
    dataForm->addLayout(
        buttonGrid({newButton(dataFrame, "ATC102READ"), newButton(dataFrame, "ATC102Write")}),
        dataForm->rowCount(), 1);

    auto *eraseFrame = new QGroupBox(QStringLiteral("Erase Data"), page);
    auto *eraseForm = new QGridLayout(eraseFrame);
    m_102EraseHint = newLabel(eraseFrame, at88sc102AddressHint(8), "ATC102A5add01Label");
    addRow(eraseForm, new QLabel(eraseFrame), {area.at(8), area.at(9), area.at(10)});
    addRow(eraseForm, newLabel(eraseFrame, QStringLiteral("Address")),
           {newBox(eraseFrame, "ATC102A5add01", QStringLiteral("00")), m_102EraseHint});
    addRow(eraseForm, newLabel(eraseFrame, QStringLiteral("Length")),
           {newBox(eraseFrame, "ATC102A6long01", QStringLiteral("10"))});
    eraseForm->addWidget(newButton(eraseFrame, "ATC102EARSEData"), eraseForm->rowCount(), 1);

    for (QButtonGroup *g : {m_102Zone, m_102EraseZone})
        connect(g, &QButtonGroup::idToggled, this, [this](int option, bool checked) {
            // Follows the choice however it is made: mouse, arrow keys or Space.
            if (checked)
                at88sc102ZoneChosen(option);
        });

    auto *cardRow = new QHBoxLayout;
    cardRow->addWidget(newButton(page, "ATC102RESET"));
    cardRow->addWidget(newButton(page, "ATC102ECINVALID"));
    cardRow->addWidget(newButton(page, "ATC102Format"));
    cardRow->addWidget(newBox(page, "ATC102A6Anquan", QStringLiteral("30")));
    cardRow->addWidget(newLabel(page, text::FuseModes));
    cardRow->addStretch();

    auto *layout = new QGridLayout(page);
    layout->addLayout(cardRow, 0, 0, 1, 2);
    layout->addWidget(checkFrame, 1, 0);
    layout->addWidget(dataFrame, 1, 1);
    layout->addWidget(changeFrame, 2, 0);
    layout->addWidget(eraseFrame, 2, 1);
    layout->addWidget(zoneEraseFrame, 3, 0, 1, 2);
    layout->setRowStretch(4, 1);
    return page;
}

// --- the operation pattern ------------------------------------------------

std::optional<quint8> MemoryCardPanel::boxValue(const char *name) {
    const std::optional<quint8> value =
        link::hexByteText(m_boxes.value(QLatin1String(name))->text());
    if (!value)
        link::showCaution(link::text::DataNotEffective);
    return value;
}

std::optional<quint8> MemoryCardPanel::listCode(const MemoryOperation &op, Source source) {
    const bool password = source == Source::PasswordType;
    switch (op.family) {
    case Family::At88sc1604: {
        const int index = (password ? m_1604Password : m_1604Zone)->currentIndex();
        if (index < 0) {
            link::showCaution(password ? text::FalsePassword : text::FalseZone);
            return std::nullopt;
        }
        return password ? quint8(0x30 + index) : at88sc1604ZoneCode(index);
    }
    case Family::At88sc1608: {
        const int index = (password ? m_1608Password : m_1608Zone)->currentIndex();
        if (index < 0) {
            link::showCaution(password ? text::PasswordTypeError : text::ZoneNumberError);
            return std::nullopt;
        }
        return quint8(0x30 + index);
    }
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> MemoryCardPanel::gather(const MemoryOperation &op) {
    QByteArray body;
    body += familyCode(op.family);
    body += op.pm;
    int n = 0;
    const auto boxes = [&](const QStringList &names) {
        for (const QString &name : names) {
            const std::optional<quint8> v = boxValue(qPrintable(name));
            if (!v)
                return false;
            body += char(*v);
        }
        return true;
    };
    for (const Part &part : op.parts) {
        switch (part.source) {
        case Source::Box:
        case Source::Length: {
            const std::optional<quint8> v = boxValue(part.box);
            if (!v)
                return std::nullopt;
            if (part.source == Source::Length) {
                n = *v;
                if (op.lengthLimit > 0 && n > op.lengthLimit) {
                    link::showCaution(text::ErrorLength);
                    return std::nullopt;
                }
            }
            body += char(*v);
            break;
        }
        case Source::Data:
            for (int i = 0; i < n; ++i) {
                const QString cellText = m_cells.at(i)->text();
                if (cellText.size() != 2) {
                    link::showCaution(text::InputDataFirst);
                    return std::nullopt;
                }
                if (!isHexPair(cellText)) {
                    link::showCaution(link::text::DataNotEffective);
                    return std::nullopt;
                }
                body += char(*link::hexByteText(cellText));
            }
            break;
        case Source::SavedPsc:
            body += m_saved4428;
            break;
        case Source::CardType: {
            // A type the list does not know sends nothing.
            const std::optional<quint8> t = at24cTypeCode(m_ic24Type->currentText());
            if (!t)
                return std::nullopt;
            body += char(*t);
            break;
        }
        case Source::PasswordType:
        case Source::Zone: {
            std::optional<quint8> code;
            if (op.family == Family::At88sc102) {
                QButtonGroup *g = part.box ? m_102EraseZone : m_102Zone;
                code = quint8(0x30 + g->checkedId() - (part.box ? 8 : 5));
            } else {
                code = listCode(op, part.source);
            }
            if (!code)
                return std::nullopt;
            body += char(*code);
            break;
        }
        case Source::EraseZone:
            if (m_102ZoneErase->checkedId() == 3) {
                body += '\x33';
                if (!boxes({QStringLiteral("ATC102A2pass01"), QStringLiteral("ATC102A2pass02"),
                            QStringLiteral("ATC102A2pass03"), QStringLiteral("ATC102A2pass04"),
                            QStringLiteral("ATC102A2pass05"), QStringLiteral("ATC102A2pass06")}))
                    return std::nullopt;
            } else {
                body += '\x34';
                if (!boxes({QStringLiteral("ATC102A7EC"), QStringLiteral("ATC102A3pass01"),
                            QStringLiteral("ATC102A3pass02"), QStringLiteral("ATC102A3pass03"),
                            QStringLiteral("ATC102A3pass04")}))
                    return std::nullopt;
            }
            break;
        case Source::ChangeCode: {
            const int choice = m_102Change->checkedId();
            body += char(0x30 + choice);
            const QStringList names =
                choice == 0
                    ? QStringList{QStringLiteral("ATC102A1pass1"), QStringLiteral("ATC102A1pass2")}
                : choice == 1
                    ? QStringList{QStringLiteral("ATC102A2pass1"), QStringLiteral("ATC102A2pass2"),
                                  QStringLiteral("ATC102A2pass3"), QStringLiteral("ATC102A2pass4"),
                                  QStringLiteral("ATC102A2pass5"), QStringLiteral("ATC102A2pass6")}
                    : QStringList{QStringLiteral("ATC102A3pass1"), QStringLiteral("ATC102A3pass2"),
                                  QStringLiteral("ATC102A3pass3"), QStringLiteral("ATC102A3pass4")};
            if (!boxes(names))
                return std::nullopt;
            break;
        }
        case Source::Page:
            body += m_page;
            break;
        }
    }
    return body;
}

void MemoryCardPanel::run(const MemoryOperation &op) {
    m_operations.run(m_reader.readerPort(), [this, &op] { return operate(&op); });
}

QCoro::Task<> MemoryCardPanel::operate(const MemoryOperation *operation) {
    const MemoryOperation &op = *operation; // a row of the table, there for good
    if (op.extra == Extra::PageWrite) {
        if (!m_pageRead) {
            link::showCaution(text::ReadBeforeWrite);
            co_return;
        }
        if (!storeSubPage())
            co_return;
    }
    if (op.readsIntoGrid())
        clearGrid();
    if (op.extra == Extra::PageRead) {
        m_pageRead = false;
        m_subPage = 0;
    }
    const std::optional<QByteArray> body = gather(op);
    if (!body)
        co_return;

    const QByteArray frame = link::buildReaderFrame(*body);
    QByteArray reply = link::newReplyBuffer();
    qint16 replyLength = 0;
    const link::ReplyStatus status =
        co_await link::SendReaderCommand(m_reader, frame, int(frame.size()), reply, replyLength);
    if (status != link::kReplyOk || replyLength == 0)
        co_return;
    if (reply.at(op.statusIndex) == 'Y')
        succeeded(op, *body, reply, replyLength);
    if (const std::optional<ResultBox> box = resultBox(op, reply, replyLength))
        link::showMessage(box->text, box->title, link::MsgIcon::Information);
}

void MemoryCardPanel::succeeded(const MemoryOperation &op, const QByteArray &body,
                                const QByteArray &reply, int replyLength) {
    switch (op.extra) {
    case Extra::SavePassword:
        (op.family == Family::Sle4442 ? m_saved4442 : m_saved4428) = body.mid(2);
        break;
    case Extra::CardTypeSet:
        m_ic24Range->setText(at24cAddressRange(m_ic24Type->currentText()));
        break;
    default:
        break;
    }
    if (!op.readsIntoGrid())
        return;
    m_cardData = replyData(op, reply, replyLength);
    if (op.extra == Extra::PageRead) {
        m_page.replace(0, qMin(int(m_cardData.size()), kPageSize), m_cardData.left(kPageSize));
        m_pageRead = true;
    }
    showBytes(m_cardData.left(kCells));
}

// --- grid and page buffer -------------------------------------------------

void MemoryCardPanel::clearGrid() {
    m_hexCells->clear();
}

void MemoryCardPanel::showBytes(const QByteArray &bytes) {
    for (int i = 0; i < bytes.size() && i < kCells; ++i)
        m_cells.at(i)->setText(link::byteText(quint8(bytes.at(i))));
}

bool MemoryCardPanel::storeSubPage() {
    const int shown = m_subPage == 0 ? 1 : m_subPage;
    const int offset = (shown - 1) * kCells;
    const int count = qMin(kCells, kPageSize - offset);
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        const QString cellText = m_cells.at(i)->text();
        if (!isHexPair(cellText)) {
            link::showCaution(text::InputDataFirst);
            return false;
        }
        bytes += char(*link::hexByteText(cellText));
    }
    m_page.replace(offset, count, bytes);
    return true;
}

void MemoryCardPanel::showSubPage(int subPage) {
    if (!m_pageRead) {
        link::showCaution(text::ReadDataFirst);
        return;
    }
    if (!storeSubPage())
        return;
    clearGrid();
    showBytes(m_page.mid((subPage - 1) * kCells, kCells));
    m_subPage = subPage;
}

void MemoryCardPanel::at24cTypeChanged(const QString &text) {
    const QString range = at24cAddressRange(text);
    if (!range.isEmpty())
        m_ic24Range->setText(range);
}

void MemoryCardPanel::at88sc102ZoneChosen(int option) {
    const bool readWrite = option <= 7;
    (readWrite ? m_102ZoneHint : m_102EraseHint)->setText(at88sc102AddressHint(option));
    m_boxes.value(readWrite ? QStringLiteral("ATC102A5add") : QStringLiteral("ATC102A5add01"))
        ->setText(at88sc102AddressStart(option));
}

} // namespace talvex::memorycard
