#pragma once

#include "link/clock.h"
#include "link/frame.h"
#include "scriptedbackend.h"

#include <functional>
#include <optional>

namespace talvex::testing {

// The reader at the far end of a scripted line. A command frame gets `answer`
// answerAfter ms later; the ENQ after it gets the reply to that command, its
// first headerBytes headerAfter ms after the ENQ and the rest restAfter ms
// after those. A negative time leaves that part, and what follows, out.
struct ScriptedReader {
    QByteArray answer = QByteArray(1, char(link::ACK)); // empty: silence
    qint64 answerAfter = 10;
    qint64 headerAfter = 20;
    qint64 restAfter = 30;
    int headerBytes = 3;
    qint64 hangUpAfterEnq = -1; // the line goes away that long after ENQ
    int onlyAtBaud = 0;         // 0: every rate
    // The reply frame to a command frame; nullopt leaves the command wholly
    // unanswered, an empty frame gets the answer but no reply.
    std::function<std::optional<QByteArray>(const QByteArray &command)> replyTo =
        [](const QByteArray &command) { return link::buildReaderFrame(command.mid(3, 2) + "Y"); };

    void setReply(const QByteArray &frame) {
        replyTo = [frame](const QByteArray &) { return std::optional<QByteArray>(frame); };
    }
    void respond(const QByteArray &written, ScriptedBackend &line) const {
        if (onlyAtBaud != 0 && line.settings().baud != onlyAtBaud)
            return;
        if (written.startsWith(char(link::STX))) {
            if (replyTo(written) && !answer.isEmpty())
                line.feedAfter(answerAfter, answer);
            return;
        }
        if (written != QByteArray(1, char(link::ENQ)))
            return;
        if (hangUpAfterEnq >= 0)
            line.hangUpAt(link::clock().nowMs() + hangUpAfterEnq);
        const QList<QByteArray> frames = commands(line);
        const QByteArray reply =
            frames.isEmpty() ? QByteArray() : replyTo(frames.last()).value_or(QByteArray());
        if (reply.isEmpty() || headerAfter < 0)
            return;
        line.feedAfter(headerAfter, reply.left(headerBytes));
        if (restAfter >= 0)
            line.feedAfter(headerAfter + restAfter, reply.mid(headerBytes));
    }
    void install(ScriptedBackend &line) const {
        line.onWrite = [self = *this](const QByteArray &w, ScriptedBackend &l) {
            self.respond(w, l);
        };
    }
    // The command frames the program wrote to the line.
    static QList<QByteArray> commands(const ScriptedBackend &line) {
        QList<QByteArray> out;
        for (const QByteArray &w : line.writes())
            if (w.startsWith(char(link::STX)))
                out.append(w);
        return out;
    }
};

} // namespace talvex::testing
