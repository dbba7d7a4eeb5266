#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <memory>

namespace talvex::link {

class SerialComm;

// The commands a window runs on its lines. Each is a handler coroutine that
// awaits its device; at most one runs on a line at a time, whoever started it.
//
// A handler reads in the order of its job: send, await the reply, judge it,
// show the box, send the next. While it awaits, the event loop runs: windows
// paint, other lines keep their pace. A click that would start a second
// command on a line that is busy is refused (told to the refusal listener, for
// the status line); a timer's tick on a busy line is skipped in silence, never
// queued behind. A background status poll gives way instead: a click or a
// step tick that finds the line busy with a poll runs as soon as that poll
// ends (one such command at a time), as a poll that stands aside for the
// commands does; a poll tick on a busy line is skipped.
//
// Destroying the Operations (its window closes) abandons every command of its
// that still waits: the wait throws Abandoned, the handler unwinds without a
// box and without touching its window again.
class Operations {
public:
    enum class Start {
        User,  // a click or a key: refused aloud when the line is busy
        Timer, // a test's step tick: skipped in silence
        Poll,  // a background status poll: skipped, and gives way to the others
    };
    using Refusal = std::function<void(SerialComm &line)>;
    using Handler = std::function<QCoro::Task<>()>;

    explicit Operations(Refusal refused = {});
    ~Operations();
    Operations(const Operations &) = delete;
    Operations &operator=(const Operations &) = delete;

    // Starts handler() on line unless another command holds it; returns
    // whether it started (or will, once the poll holding the line ends). The
    // handler must wait only on that line. Pass a lambda that calls a member
    // coroutine (the lambda itself must not be a coroutine: it is gone once
    // run() returns).
    bool run(SerialComm &line, const Handler &handler, Start start = Start::User);

    // Whether a command of these operations still runs.
    bool running() const;
    // Commands of all windows still running, for tests that let them finish.
    static int runningAnywhere();

private:
    struct State;
    static QCoro::Task<> holdWhile(std::shared_ptr<State> state, SerialComm *line,
                                   QCoro::Task<> command);

    std::shared_ptr<State> m_state;
    Refusal m_refused;
};

// What the status line says of a click refused because its line is busy:
// "COM1 is busy with the command before; this one was not sent."
QString busyLineText(const SerialComm &line);

} // namespace talvex::link
