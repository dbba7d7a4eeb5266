#include "panelparts.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::dispenser {

const QStringList kBaudRateTexts = {QStringLiteral("1200"),  QStringLiteral("2400"),
                                    QStringLiteral("4800"),  QStringLiteral("9600"),
                                    QStringLiteral("19200"), QStringLiteral("38400")};

QPushButton *ButtonSet::add(QWidget *parent, const char *name, const QString &caption,
                            std::function<void()> handler) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    QObject::connect(button, &QPushButton::clicked, parent, std::move(handler));
    m_buttons.insert(QLatin1String(name), button);
    return button;
}

void ButtonSet::setEnabled(const QStringList &names, bool enabled) const {
    for (const QString &name : names)
        m_buttons.value(name)->setEnabled(enabled);
}

QComboBox *editableList(const char *name, const QStringList &items, const QString &current,
                        QWidget *parent) {
    auto *list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->addItems(items);
    list->setCurrentText(current);
    return list;
}

QLineEdit *quantityBox(const char *name, const QString &text, QWidget *parent) {
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(3);
    return box;
}

QLabel *counterLabel(const char *name, QWidget *parent) {
    auto *label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::StyledPanel);
    return label;
}

QGroupBox *counterFrame(const QString &caption, QLabel *label, QWidget *parent) {
    auto *frame = new QGroupBox(caption, parent);
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(label);
    return frame;
}

int counterValue(const QLabel *label) {
    return label->text().toInt();
}

void addToCounter(QLabel *label, int amount) {
    if (amount != 0)
        label->setText(QString::number(counterValue(label) + amount));
}

void zeroCounters(std::initializer_list<QLabel *> labels) {
    for (QLabel *label : labels)
        label->setText(QStringLiteral("0"));
}

int leadingNumber(const QString &text) {
    int value = 0;
    for (QChar c : text.trimmed()) {
        // Three characters fit the box; the bound only keeps pasted text sane.
        // Digits of other scripts are not numbers to the dispenser's user.
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || value > 99999)
            break;
        value = value * 10 + c.digitValue();
    }
    return value;
}

} // namespace talvex::dispenser
