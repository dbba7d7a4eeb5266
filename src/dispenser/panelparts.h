#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace talvex::dispenser {

// The baud rate lists of both tabs; an item's index is its rate code.
extern const QStringList kBaudRateTexts;

// A tab's command buttons by object name, switched in the groups the
// handlers name.
class ButtonSet {
public:
    QPushButton *add(QWidget *parent, const char *name, const QString &caption,
                     std::function<void()> handler);
    QPushButton *operator[](const QString &name) const { return m_buttons.value(name); }
    void setEnabled(const QStringList &names, bool enabled) const;

private:
    QHash<QString, QPushButton *> m_buttons;
};

// A list box that also takes typed text, which the handlers judge; typed text
// is never added to the list.
QComboBox *editableList(const char *name, const QStringList &items, const QString &current,
                        QWidget *parent);

// An automatic test's quantity box: three characters, so at most 999.
QLineEdit *quantityBox(const char *name, const QString &text, QWidget *parent);

// A counter: a label holding a decimal number, in a frame with its caption.
QLabel *counterLabel(const char *name, QWidget *parent);
QGroupBox *counterFrame(const QString &caption, QLabel *label, QWidget *parent);
int counterValue(const QLabel *label);
void addToCounter(QLabel *label, int amount);
void zeroCounters(std::initializer_list<QLabel *> labels);

// Leading decimal digits of a quantity text; none count as 0.
int leadingNumber(const QString &text);

} // namespace talvex::dispenser
