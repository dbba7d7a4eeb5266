#include "busycursor.h"

#include "link/busywait.h"

#include <QCursor>
#include <QGuiApplication>

namespace talvex::ui {

// The event loop does not run during the wait, so the cursor must reach the
// screen without it: the xcb platform changes the window's cursor attribute
// and flushes the connection inside setOverrideCursor itself.
void showBusyCursorDuringLongWaits() {
    link::setBusyListener([](bool busy) {
        if (busy)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    });
}

} // namespace talvex::ui
