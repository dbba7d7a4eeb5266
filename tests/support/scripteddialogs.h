#pragma once

#include "ui/seams.h"

#include <QDialog>
#include <QList>
#include <QStringList>

namespace talvex::testing {

// Answers each modal dialog with the next step of the user's script (Cancel
// when none is left) and records which dialogs came up. Installs itself for
// its lifetime.
class ScriptedDialogs final : public ui::DialogRunner {
public:
    ScriptedDialogs() { ui::setDialogRunner(this); }
    ~ScriptedDialogs() override { ui::setDialogRunner(nullptr); }
    int exec(QDialog &dialog) override {
        classes.append(QString::fromLatin1(dialog.metaObject()->className()));
        titles.append(dialog.windowTitle());
        return steps.isEmpty() ? int(QDialog::Rejected) : steps.takeFirst()(dialog);
    }
    QList<ui::DialogScript> steps;
    QStringList classes;
    QStringList titles;
};

// The named control of a window or dialog; a missing one ends the test run.
template <typename T = QWidget> T *child(const QObject &parent, const char *name) {
    T *found = parent.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

} // namespace talvex::testing
