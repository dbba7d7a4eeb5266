#include "glittertimes.h"

#include "link/messages.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace talvex::reader {
namespace {

// The whole part of the number a box holds: its leading digits, so that a
// pasted "12.7" counts 12; capped so that long texts stay "above 255" without
// overflowing. A pasted text that starts with no digit holds no number: as
// out of range.
int timeValue(const QString &text) {
    int value = 0;
    qsizetype digits = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        ++digits;
        value = std::min(value * 10 + c.digitValue(), 1000);
    }
    return digits == 0 ? 1000 : value;
}

} // namespace

GlitterTimes::GlitterTimes(QWidget *dialog, QGridLayout *grid, int row) : QObject(dialog) {
    auto makeBox = [&](const char *name, const char *caption, int r) {
        auto *label = new QLabel(QString::fromLatin1(caption), dialog);
        auto *box = new QLineEdit(QStringLiteral("001"), dialog);
        box->setObjectName(QString::fromLatin1(name));
        box->installEventFilter(this);
        label->setBuddy(box);
        auto *unit = new QLabel(QStringLiteral("X 0.25 s"), dialog);
        grid->addWidget(label, r, 0);
        grid->addWidget(box, r, 1);
        grid->addWidget(unit, r, 2);
        return box;
    };
    m_p1 = makeBox("p1", "time value of Indicator light on (0-255)", row);
    m_p2 = makeBox("p2", "time value of Indicator light off(0-255)", row + 1);
}

bool GlitterTimes::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        // Typed characters other than digits are dropped, backspace too;
        // keys that type nothing (arrows, Delete, Tab) keep their use.
        if (!text.isEmpty() && key->key() != Qt::Key_Delete && key->key() != Qt::Key_Tab &&
            key->key() != Qt::Key_Backtab &&
            !(text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 128))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

GlitterForm::GlitterForm(const QString &objectName, QWidget *parent)
    : OptionForm(objectName, QStringLiteral("Indicator light glitter operation"), parent) {}

void GlitterForm::addTimes() {
    auto *grid = new QGridLayout;
    m_layout->addLayout(grid);
    m_times = new GlitterTimes(this, grid, 0);
    addButtons();
}

void GlitterForm::okClicked() {
    if (m_times->accept())
        accept();
}

bool GlitterTimes::accept() {
    const QString on = m_p1->text();
    const QString off = m_p2->text();
    if (on.isEmpty() || off.isEmpty()) {
        link::showCaution(QStringLiteral("input time value of Indicator light on"));
        return false;
    }
    const int onValue = timeValue(on);
    const int offValue = timeValue(off);
    if (onValue > 255 || offValue > 255) {
        link::showCaution(QStringLiteral("time value of Indicator light on  is not unvalid"));
        return false;
    }
    m_p1->setText(on.rightJustified(3, QLatin1Char('0')));
    m_p2->setText(off.rightJustified(3, QLatin1Char('0')));
    m_on = onValue;
    m_off = offValue;
    return true;
}

} // namespace talvex::reader
