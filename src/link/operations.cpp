#include "operations.h"

#include "serialcomm.h"

#include <QtGlobal>
#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

namespace talvex::link {
namespace {

int g_running = 0;

} // namespace

struct Operations::State {
    bool alive = true;
    std::vector<SerialComm *> lines; // held by a command of these operations
};

// Runs one command to its end and lets go of its line. A command abandoned
// because its owner went away touches nothing of the owner.
QCoro::Task<> Operations::holdWhile(std::shared_ptr<Operations::State> state, SerialComm *line,
                        QCoro::Task<> command) {
    try {
        co_await std::move(command);
    } catch (const Abandoned &) {
        // Closed or left while it waited: nothing more to say.
    } catch (const std::exception &e) {
        qWarning("A command ended on an unexpected error: %s", e.what());
    }
    --g_running;
    if (!state->alive)
        co_return;
    auto &lines = state->lines;
    lines.erase(std::find(lines.begin(), lines.end(), line));
    line->m_holder = nullptr;
    line->m_heldByPoll = false;
    // A command that came while a poll held the line goes now.
    if (const std::function<void()> next = std::exchange(line->m_afterPoll, nullptr))
        next();
}

Operations::Operations(Refusal refused)
    : m_state(std::make_shared<State>()), m_refused(std::move(refused)) {}

Operations::~Operations() {
    m_state->alive = false;
    for (SerialComm *line : std::exchange(m_state->lines, {})) {
        line->m_holder = nullptr;
        line->m_heldByPoll = false;
        line->m_afterPoll = nullptr;
        line->abandonWait();
    }
}

bool Operations::run(SerialComm &line, const Handler &handler, Start start) {
    if (line.m_holder) {
        if (start != Start::Poll && line.m_heldByPoll && !line.m_afterPoll) {
            // Behind a poll: started the moment it ends, unless these
            // operations are gone by then.
            line.m_afterPoll = [this, state = std::weak_ptr<State>(m_state), &line, handler,
                                start] {
                const std::shared_ptr<State> owner = state.lock();
                if (owner && owner->alive)
                    run(line, handler, start);
            };
            return true;
        }
        if (start == Start::User && m_refused)
            m_refused(line);
        return false;
    }
    line.m_holder = this;
    line.m_heldByPoll = start == Start::Poll;
    m_state->lines.push_back(&line);
    ++g_running;
    // The command starts at once and runs to its first wait; holding it is
    // all that is left to do here, so the task is let go.
    [[maybe_unused]] QCoro::Task<> held = holdWhile(m_state, &line, handler());
    return true;
}

bool Operations::running() const {
    return !m_state->lines.empty();
}

int Operations::runningAnywhere() {
    return g_running;
}

QString busyLineText(const SerialComm &line) {
    return QStringLiteral("COM%1 is busy with the command before; this one was not sent.")
        .arg(line.CommPort());
}

} // namespace talvex::link
