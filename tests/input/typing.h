#pragma once

// Typing into a window as a user does: the rows of the bad-input tables and
// the steps before them.

#include "support/scripteddialogs.h"

#include "link/messages.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

namespace talvex::testing {

// One bad text: the window that holds the box (a main window or the class of
// one of its dialogs), what the user clicked or typed before in that window
// ("name" clicks, "name=text" types), the box and its text, the button pressed,
// and the one message box expected as "title|text" (empty: none at all).
struct InputRow {
    const char *window;
    QStringList before;
    const char *box;
    QString text;
    const char *press;
    QString shown;
};

inline QString shownBox(const link::MessageRequest &r) {
    return r.title + QLatin1Char('|') + r.text;
}

// Types into a line box or an editable list as the user would, or picks an
// item of a fixed list by its text.
inline void enter(QWidget &window, const QString &name, const QString &text) {
    QObject *control = window.findChild<QObject *>(name);
    if (!control)
        qFatal("no control %s", qPrintable(name));
    if (auto *line = qobject_cast<QLineEdit *>(control))
        line->setText(text);
    else if (auto *list = qobject_cast<QComboBox *>(control))
        list->setCurrentText(text);
    else
        qFatal("%s takes no text", qPrintable(name));
}

inline void act(QWidget &window, const QStringList &steps) {
    for (const QString &step : steps) {
        const qsizetype eq = step.indexOf(QLatin1Char('='));
        if (eq < 0)
            child<QAbstractButton>(window, qPrintable(step))->click();
        else
            enter(window, step.left(eq), step.mid(eq + 1));
    }
}

} // namespace talvex::testing
