#include "readercontrolsimbox.h"

#include "sim/readersim.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace talvex::app {
namespace {

struct TypeChoice {
    const char *code; // class and subtype the reader reports
    const char *text;
};

constexpr TypeChoice kTypes[] = {
    {"", "Not identified"}, {"00", "RF S50"},     {"01", "RF S70"},    {"02", "RF Ultralight"},
    {"04", "Type A CPU"},   {"05", "Type B CPU"}, {"09", "RF, other"}, {"10", "CPU T=0"},
    {"11", "CPU T=1"},      {"20", "24C01"},      {"21", "24C02"},     {"22", "24C04"},
    {"23", "24C08"},        {"24", "24C16"},      {"25", "24C32"},     {"26", "24C64"},
    {"30", "SLE4442"},      {"31", "SLE4428"},    {"40", "AT88SC102"}, {"41", "AT88SC1604"},
    {"42", "AT45D041"},     {"43", "AT88SC1608"},
};

QString entryText(char code) {
    switch (code) {
    case 'N':
        return QStringLiteral("prohibited");
    case 'I':
        return QStringLiteral("magnetic cards");
    case 'J':
        return QStringLiteral("all cards");
    case 'K':
        return QStringLiteral("by magnetic signal");
    default:
        return QStringLiteral("?");
    }
}

} // namespace

ReaderControlSimBox::ReaderControlSimBox(sim::ReaderSim &reader, QWidget *parent)
    : QGroupBox(QStringLiteral("Reader settings"), parent), m_reader(reader) {
    setObjectName(QStringLiteral("ReaderControlSimBox"));

    m_cardType = new QComboBox(this);
    m_cardType->setObjectName(QStringLiteral("ReaderCardType"));
    for (const TypeChoice &type : kTypes)
        m_cardType->addItem(QString::fromLatin1(type.text), QByteArray(type.code));

    m_serialNumber = new QLineEdit(QString::fromLatin1(m_reader.control().serialNumber), this);
    m_serialNumber->setObjectName(QStringLiteral("ReaderSerialNumber"));
    m_serialNumber->setMaxLength(255);

    m_moveTime = new QSpinBox(this);
    m_moveTime->setObjectName(QStringLiteral("ReaderMoveTime"));
    m_moveTime->setRange(0, 5000);
    m_moveTime->setSingleStep(50);
    m_moveTime->setSuffix(QStringLiteral(" ms"));
    m_moveTime->setValue(m_reader.moveTimeMs());

    m_settings = new QLabel(this);
    m_settings->setObjectName(QStringLiteral("ReaderSettings"));
    m_settings->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Card type"), m_cardType);
    form->addRow(QStringLiteral("Serial number"), m_serialNumber);
    form->addRow(QStringLiteral("Card move time"), m_moveTime);
    form->addRow(QStringLiteral("Now"), m_settings);

    connect(m_cardType, &QComboBox::activated, this, &ReaderControlSimBox::typeChosen);
    connect(m_serialNumber, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_reader.setSerialNumber(text.toLatin1()); });
    connect(m_moveTime, &QSpinBox::valueChanged, this,
            [this](int ms) { m_reader.setMoveTimeMs(ms); });
    refresh();
}

void ReaderControlSimBox::typeChosen() {
    sim::SimCard card = m_reader.card();
    card.typeCode = m_cardType->currentData().toByteArray();
    m_reader.setCard(card);
}

void ReaderControlSimBox::refresh() {
    // Card panels of other families set the type with the card they make.
    if (const int index = m_cardType->findData(m_reader.card().typeCode); index >= 0)
        m_cardType->setCurrentIndex(index);
    const sim::ReaderControlState state = m_reader.control();
    QStringList lines;
    lines << QStringLiteral("Entry: front %1, rear %2")
                 .arg(entryText(state.frontEntry), entryText(state.rearEntry));
    lines << QStringLiteral("Stop position: %1").arg(QLatin1Char(state.stopPosition));
    lines << QStringLiteral("KVR-523 reading: uploading %1, while %2")
                 .arg(state.initiativeUpload() ? QStringLiteral("on") : QStringLiteral("off"),
                      state.readWhilePulling == '1' ? QStringLiteral("pulling")
                                                    : QStringLiteral("inserting"));
    if (!state.lastLight.isEmpty())
        lines << QStringLiteral("Last light command: %1")
                     .arg(QString::fromLatin1(state.lastLight.toHex(' ').toUpper()));
    lines << QStringLiteral("Line speed: %1 bit/s").arg(m_reader.baud());
    m_settings->setText(lines.join(QLatin1Char('\n')));
}

} // namespace talvex::app
