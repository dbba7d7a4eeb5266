#pragma once

#include "fuzzinput.h"
#include "support/scriptedbackend.h"

#include <QList>
#include <algorithm>

namespace talvex::fuzzing {

// What a scripted device does: after a delay, send bytes or hang up.
struct Chunk {
    qint64 delayMs = 0;
    bool hangUp = false;
    QByteArray bytes;
};

// The device's script as the input spells it: chunks of control (1), delay in
// ms (2, big-endian), length (2, big-endian) and bytes. Control bit 0: the
// chunk and those after it answer the program's next write; bit 1: the line
// hangs up at that moment instead. Group 0 is on the line before the program
// writes, group k answers its k-th write.
inline QList<QList<Chunk>> parseScript(Input &in) {
    QList<QList<Chunk>> groups(1);
    while (!in.atEnd()) {
        const std::uint8_t control = in.byte();
        Chunk chunk;
        chunk.delayMs = in.word();
        chunk.hangUp = control & 2;
        if (!chunk.hangUp)
            chunk.bytes = in.bytes(in.word());
        if (control & 1)
            groups.append(QList<Chunk>());
        groups.last().append(chunk);
    }
    return groups;
}

// Puts one group on the line from fromMs on (delays add up within it) and
// moves *lastMs to its last moment.
inline void play(const QList<Chunk> &group, testing::ScriptedBackend &line, qint64 fromMs,
                 qint64 *lastMs) {
    qint64 at = fromMs;
    for (const Chunk &chunk : group) {
        at += chunk.delayMs;
        if (chunk.hangUp)
            line.hangUpAt(at);
        else
            line.feedAt(at, chunk.bytes);
    }
    *lastMs = std::max(*lastMs, at);
}

inline bool hangsUp(const QList<QList<Chunk>> &groups) {
    for (const auto &group : groups)
        for (const Chunk &chunk : group)
            if (chunk.hangUp)
                return true;
    return false;
}

} // namespace talvex::fuzzing
