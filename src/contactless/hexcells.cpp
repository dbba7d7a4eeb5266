#include "hexcells.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTimer>

namespace talvex::contactless {
namespace {

bool isHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

} // namespace

HexCells::HexCells(const QList<QLineEdit *> &cells, QObject *parent)
    : QObject(parent), m_cells(cells) {
    setFullRing();
    // Pasting through the context menu bypasses the key filter; the validator
    // keeps such text to hexadecimal digits as well.
    static const QRegularExpression hexOnly(QStringLiteral("[0-9A-F]*"));
    for (int i = 0; i < count(); ++i) {
        QLineEdit *box = m_cells.at(i);
        box->installEventFilter(this);
        if (!box->validator())
            box->setValidator(new QRegularExpressionValidator(hexOnly, box));
        connect(box, &QLineEdit::textChanged, this, [box](const QString &text) {
            if (text.size() > 2)
                box->setText(text.right(2));
        });
        // Only what the user types moves the focus: a read that fills a row
        // from the card leaves the focus where the handler puts it.
        connect(box, &QLineEdit::textEdited, this, [this, i] { textEdited(i); });
    }
}

QList<QLineEdit *> HexCells::makeCells(QWidget *parent, const QString &baseName, int count,
                                       int maxLength) {
    QList<QLineEdit *> cells;
    cells.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto *box = new QLineEdit(parent);
        box->setObjectName(QStringLiteral("%1_%2").arg(baseName).arg(i));
        if (maxLength > 0)
            box->setMaxLength(maxLength);
        box->setAlignment(Qt::AlignCenter);
        const int width = box->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 10;
        box->setFixedWidth(width);
        cells.append(box);
    }
    return cells;
}

QString HexCells::normalised(const QString &text) {
    return text.size() == 1 ? QLatin1Char('0') + text : text;
}

void HexCells::setRing(int first, int last) {
    m_first = first;
    m_last = last;
}

int HexCells::next(int index) const {
    if (index < m_first || index > m_last)
        return index + 1 < count() ? index + 1 : 0;
    return index == m_last ? m_first : index + 1;
}

int HexCells::previous(int index) const {
    if (index < m_first || index > m_last)
        return index > 0 ? index - 1 : count() - 1;
    return index == m_first ? m_last : index - 1;
}

void HexCells::clear() {
    for (QLineEdit *box : std::as_const(m_cells))
        box->clear();
}

void HexCells::enter(int index, const QString &text) {
    m_cells.at(index)->setText(text);
    textEdited(index);
}

void HexCells::normalise(int index) {
    QLineEdit *box = m_cells.at(index);
    const QString text = normalised(box->text());
    if (text != box->text())
        box->setText(text);
}

void HexCells::focusCell(int index) {
    m_cells.at(index)->setFocus(Qt::OtherFocusReason);
}

void HexCells::textEdited(int index) {
    if (m_cells.at(index)->text().size() < 2)
        return;
    const int to = next(index);
    if (m_advanceOnlyIntoEnabled && !m_cells.at(to)->isEnabled())
        return;
    focusCell(to);
}

bool HexCells::keyPress(int index, QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Right:
        normalise(index);
        focusCell(next(index));
        return true;
    case Qt::Key_Left:
        normalise(index);
        focusCell(previous(index));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // They act when released; pressed they must not reach a dialog's
        // default or cancel button.
        return true;
    default:
        break;
    }
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (event->modifiers() & chord)
        return event->key() != Qt::Key_Backspace; // paste, cut, undo: all characters
    const QString text = event->text();
    if (text.isEmpty())
        return false; // Delete, Home, End and the like are editing, not characters
    if (text.size() != 1)
        return true;
    const QChar c = text.at(0);
    if (c == QLatin1Char('\b') || isHexDigit(c))
        return false;
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f')) {
        QKeyEvent upper(QEvent::KeyPress, event->key(), Qt::NoModifier, QString(c.toUpper()));
        QCoreApplication::sendEvent(m_cells.at(index), &upper);
    }
    return true;
}

bool HexCells::eventFilter(QObject *watched, QEvent *event) {
    // Compared as QObjects: a cell being destroyed is no longer a QLineEdit, and
    // its last events still pass through here.
    const auto found = std::find_if(m_cells.cbegin(), m_cells.cend(), [watched](QLineEdit *cell) {
        return static_cast<QObject *>(cell) == watched;
    });
    if (found == m_cells.cend())
        return false;
    const int index = int(found - m_cells.cbegin());
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPress(index, static_cast<QKeyEvent *>(event));
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->isAutoRepeat())
            return false;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            normalise(index);
            focusCell(next(index));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            m_cells.at(index)->clear();
            return true;
        }
        return false;
    }
    case QEvent::FocusIn: {
        QLineEdit *box = m_cells.at(index);
        box->selectAll();
        // A mouse press places the cursor after the focus arrives.
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason)
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
        return false;
    }
    case QEvent::FocusOut:
        normalise(index);
        return false;
    default:
        return false;
    }
}

} // namespace talvex::contactless
