#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace talvex::contactless {

// The editing behaviour of a row of one-byte hexadecimal entry cells (keys,
// block data, memory card data). The cells form a ring: after the last comes
// the first. Each cell admits only 0-9 and A-F (a-f are raised), and:
//  - gets its whole text selected when it takes the focus, so a digit replaces it;
//  - keeps only its last two characters when it gets longer, and a cell the user
//    fills moves the focus on to the next cell of the ring;
//  - Right arrow and Enter normalise it and go to the next cell, Left arrow to
//    the previous one; Escape empties it;
//  - is normalised ("7" becomes "07") when it loses the focus.
// The row works on cells the window owns; it only watches their events.
class HexCells : public QObject {
    Q_OBJECT
public:
    explicit HexCells(const QList<QLineEdit *> &cells, QObject *parent = nullptr);

    // count cells named "<baseName>_0" ... (a control array), sized for two
    // digits; maxLength 0 leaves the box without a length limit.
    static QList<QLineEdit *> makeCells(QWidget *parent, const QString &baseName, int count,
                                        int maxLength = 0);
    // "" stays "", "7" becomes "07", two characters stay as they are.
    static QString normalised(const QString &text);

    // Key cells only advance into a cell that is enabled; other rows always do.
    void setAdvanceOnlyIntoEnabled(bool on) { m_advanceOnlyIntoEnabled = on; }
    // Navigation walks first ... last and wraps; the whole row by default.
    void setRing(int first, int last);
    void setFullRing() { setRing(0, int(m_cells.size()) - 1); }
    int ringFirst() const { return m_first; }
    int ringLast() const { return m_last; }

    QLineEdit *cell(int index) const { return m_cells.at(index); }
    const QList<QLineEdit *> &cells() const { return m_cells; }
    int count() const { return int(m_cells.size()); }
    int next(int index) const;
    int previous(int index) const;

    void clear();
    // Puts text into cell index as typing it would: a cell that is full then
    // hands the focus to the next cell of the ring.
    void enter(int index, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPress(int index, QKeyEvent *event);
    void textEdited(int index);
    void normalise(int index);
    void focusCell(int index);

    QList<QLineEdit *> m_cells;
    int m_first = 0;
    int m_last = -1;
    bool m_advanceOnlyIntoEnabled = false;
};

} // namespace talvex::contactless
