#pragma once

// What the benchmarks share: memory and CPU figures of this process, message
// boxes and dialogs that never block, the magnetic automatic test set up in a
// reader window, the dispenser panels set up and their automatic tests started,
// and simulated devices run in a child process so that their work is not
// counted as the program's.

#include "link/messages.h"
#include "sim/dispensermechanics.h"
#include "ui/seams.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include <sys/types.h>

class QWidget;

namespace talvex::sim {
class ReaderSim;
}
namespace talvex::shell {
class ReaderMain;
}
namespace talvex::dispenser {
class Kvr820Panel;
class Kvr840Panel;
} // namespace talvex::dispenser

namespace talvex::bench {

// Resident memory (VmRSS) of this process or another in kB; -1 when /proc
// cannot tell.
long residentKb(pid_t pid = 0);
// Bytes the main heap has handed out and not had back, in kB: what the window
// thread keeps. Unlike resident memory it does not move with pages the
// allocator keeps for reuse; other threads' arenas are not in it.
long heapInUseKb();
// CPU time of the whole process, user and system, in seconds.
double processCpuSeconds();

// Answers every box with OK and counts them; each text goes to stderr.
class CountingBoxes final : public link::MessageBoxes {
public:
    link::MsgAnswer show(const link::MessageRequest &request) override;
    int shown = 0;
};

// Cancels every modal dialog: the runs here ask for none.
class NoDialogs final : public ui::DialogRunner {
public:
    int exec(QDialog &) override;
};

// While it lives: the program's files go to a temporary folder, message
// boxes are counted and answered OK, modal dialogs are cancelled.
class Unattended {
public:
    Unattended();
    ~Unattended();
    Unattended(const Unattended &) = delete;
    Unattended &operator=(const Unattended &) = delete;

    CountingBoxes boxes;

private:
    QTemporaryDir m_folder;
    NoDialogs m_dialogs;
};

// Motors ten times faster than the simulated dispensers' defaults, a stacker
// and a bin that do not run out, and no card waiting at the KVR-840's mouth.
inline constexpr sim::DispenserMechanics kFastMechanics{.stackerCards = 100000,
                                                        .preEmptyBelow = 20,
                                                        .binCapacity = 100000,
                                                        .dispenseMs = 80,
                                                        .captureMs = 60,
                                                        .holdAtMouth = false};

// A magnetic card in the reader, another brought by the feeder as soon as
// one is ejected, and card moves that take no time.
void feedMagneticCards(sim::ReaderSim &reader);
// Runs the event loop until done() holds or timeoutMs pass; returns done().
// Commands started by clicks run on meanwhile.
bool runEventsUntil(const std::function<bool()> &done, int timeoutMs);
// Clicks the named button of the window as the user does: nothing happens
// while it is disabled. False when there is no such button.
bool clickButton(QWidget &window, const char *name);

// Opens the window's port, sets it up and detects the model; false (with the
// reason on stderr) unless the reader answers as KVR-690.
bool setUpKvr690(shell::ReaderMain &window, int port);
// Starts the magnetic automatic test for the given number of reads ("Read").
void startMagneticTest(shell::ReaderMain &window, int reads);
// "Stop"; the read that runs ends first.
void stopMagneticTest(shell::ReaderMain &window);
bool magneticTestRunning(shell::ReaderMain &window);
// "Read Times" as shown.
int magneticReads(const shell::ReaderMain &window);

// Opens the panel's port and sets it up, which starts its status poll.
void setUpPanel(dispenser::Kvr820Panel &panel, int port);
void setUpPanel(dispenser::Kvr840Panel &panel, int port);
// Start the automatic test for the quantity: KVR-820 in "0 OUT of Door" or,
// with capture, "1 Door && Capture"; KVR-840 with "Q'ty Setting" ticked.
void startAutoTest(dispenser::Kvr820Panel &panel, int quantity, bool capture);
void startAutoTest(dispenser::Kvr840Panel &panel, int quantity);
// "Stop" of the panel's automatic test.
void stopAutoTest(dispenser::Kvr820Panel &panel);
void stopAutoTest(dispenser::Kvr840Panel &panel);
// "Stop" is enabled only while the panel's automatic test runs.
bool autoTestRunning(const QWidget &panel, const char *stopButton);
QString labelText(const QWidget &panel, const char *name);

// Simulated devices in a child process, each on a pseudo-terminal of its own.
// Fork before anything starts a thread (before QApplication).
struct SimChildDevices {
    bool magneticReader = false; // KVR-690, a magnetic card, its feeder on
    bool kvr820 = false;
    bool kvr840 = false;
    sim::DispenserMechanics mechanics = kFastMechanics;
};
class SimChild {
public:
    ~SimChild();
    // The device paths in the order the devices are listed above; false with
    // the reason on stderr when the child could not start them all.
    bool start(const SimChildDevices &devices, QStringList *paths);
    // Ends the child (it stops when its pipe closes) and waits for it.
    void stop();
    long residentKb() const { return bench::residentKb(m_pid); }

private:
    pid_t m_pid = -1;
    int m_keepAlive = -1;
};

} // namespace talvex::bench
