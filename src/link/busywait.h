#pragma once

#include <QtGlobal>

#include <functional>

namespace talvex::link {

// The window does not repaint or react while the program blocks in an
// exchange or a scan. Once such a stretch has lasted kBusyAfterMs on the clock
// in force, the listener hears true, and false again when the stretch ends, so
// that the window layer can show a busy cursor. The link itself knows nothing
// of cursors or widgets.
constexpr qint64 kBusyAfterMs = 100;

using BusyListener = std::function<void(bool busy)>;
void setBusyListener(BusyListener listener); // empty: nobody is told

// Marks a stretch the user waits for. Stretches nest: the outermost one
// counts. Waits outside any stretch (the window timers' quiet polls) never
// make the program look busy.
class BusyStretch {
public:
    // A stretch that the user does not wait for (a quiet poll) marks nothing.
    explicit BusyStretch(bool userWaits = true);
    ~BusyStretch() { end(); }
    BusyStretch(const BusyStretch &) = delete;
    BusyStretch &operator=(const BusyStretch &) = delete;

    // Ends the stretch early, before a message box that the user must see
    // with the ordinary cursor.
    void end();

private:
    bool m_open;
};

// For the blocking waits: the clock time by which a wait must look up again
// (the moment the current stretch turns busy, or never), and the look itself.
qint64 nextBusyCheckMs();
void checkBusy();

} // namespace talvex::link
