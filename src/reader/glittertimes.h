#pragma once

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

} // namespace talvex::reader
