#pragma once

#include "optionform.h"

#include <QObject>

class QGridLayout;
class QLineEdit;
class QWidget;

namespace talvex::reader {

// The two time boxes of the glitter dialogs, `p1` (light on) and `p2` (light
// off), in quarter seconds, each starting at "001". They take the keys 0-9
// only.
class GlitterTimes : public QObject {
    Q_OBJECT
public:
    GlitterTimes(QWidget *dialog, QGridLayout *grid, int row);

    // Checks both boxes, telling the user what is wrong. On success pads them
    // to three digits and returns true; the values are then onTime() and
    // offTime().
    bool accept();
    int onTime() const { return m_on; }
    int offTime() const { return m_off; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_p1 = nullptr;
    QLineEdit *m_p2 = nullptr;
    int m_on = -1;
    int m_off = -1;
};

// A glitter dialog, "Indicator light glitter operation": the subclass's
// options, then the two time boxes. "OK" closes only once both times are
// valid; they are -1 until then.
class GlitterForm : public OptionForm {
    Q_OBJECT
public:
    int onTime() const { return m_times->onTime(); }
    int offTime() const { return m_times->offTime(); }

protected:
    GlitterForm(const QString &objectName, QWidget *parent);
    // The time boxes and the buttons, below what the subclass added.
    void addTimes();
    void okClicked() override;

    GlitterTimes *m_times = nullptr;
};

} // namespace talvex::reader
