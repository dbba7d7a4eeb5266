#pragma once

// The fault matrix of the reader side: one command of a window against every
// misbehaviour of the simulated reader, on a real pseudo-terminal. Each row
// checks the message the user gets, the bytes that reached the far end of the
// line, the traffic log, the status line, and that the same command works
// again afterwards.

#include "support/recordingmessageboxes.h"
#include "support/scripteddialogs.h"

#include "link/clock.h"
#include "shell/readermain.h"
#include "sim/fault.h"
#include "sim/readersim.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QStringList>

#include <functional>
#include <memory>

namespace talvex::testing {

// The program's clock running `scale` times faster than the wall clock, with
// the line's waits shortened to match: the 3 s and 8 s limits pass in a
// fraction of the time while the bytes still cross a real pseudo-terminal.
class ScaledClock final : public link::Clock {
public:
    ScaledClock() { m_wall.start(); }
    qint64 nowMs() const override { return m_baseMs + m_wall.nsecsElapsed() * m_scale / 1'000'000; }
    void sleepMs(qint64 ms) override;
    bool realTime() const override { return true; }
    qint64 wallMs(qint64 ms) const override { return (ms + m_scale - 1) / m_scale; }
    int scale() const { return m_scale; }
    void setScale(int scale);

private:
    QElapsedTimer m_wall;
    qint64 m_baseMs = 1'000'000;
    int m_scale = 1;
};

// A simulated KVR-690 behind COM1 of a reader window, set up through "Setup
// Comm" as a user does it. The listener keeps what reached the reader.
class FaultBench {
public:
    FaultBench();
    ~FaultBench();
    FaultBench(const FaultBench &) = delete;
    FaultBench &operator=(const FaultBench &) = delete;

    // "Setup Comm", then "OK" in the settings dialog: true when the window is set up.
    bool setUpComm();
    QByteArray takeSent();
    QStringList takeBoxes(); // "title|text" of each box since the last call
    QString statusLine() const;
    // Where the case's controls are: its own window, else the reader window.
    QWidget &host() { return extraWindow ? *extraWindow : static_cast<QWidget &>(window); }

    ScaledClock clock;
    link::ScopedClock scopedClock{clock};
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    sim::ReaderSim reader;
    shell::ReaderMain window;
    std::unique_ptr<QWidget> extraWindow; // a window the case opens beside the reader window

private:
    QMutex m_mutex;
    QByteArray m_sent;
};

// One representative command of a window.
struct WindowCase {
    QString frame = {};       // the command frame, as hex pairs
    QStringList okBoxes = {}; // "title|text" after the reader's normal reply
    std::function<void(FaultBench &)> prepare = [](FaultBench &) {};
    std::function<void(FaultBench &)> act = {};
    // What the window shows of a normal reply (empty text when it shows nothing).
    std::function<QString(FaultBench &)> shown = [](FaultBench &) { return QString(); };
    QString okShown = {};
    QString logTail = {}; // what the handler adds to the log after the exchange
};

// A click on the named button, and the text of the named box, of the bench's host.
std::function<void(FaultBench &)> click(const char *button);
std::function<QString(FaultBench &)> textOf(const char *box);

// The rows every window runs: fault, time scale, sent bytes, boxes, log.
void addFaultRows();
// Runs the current row against the window's command.
void runFaultRow(const WindowCase &window);

} // namespace talvex::testing
