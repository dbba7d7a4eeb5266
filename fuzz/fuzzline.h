#pragma once

#include "fuzzinput.h"
#include "link/serialbackend.h"
#include "support/scriptedbackend.h"

#include <QList>
#include <algorithm>

namespace talvex::fuzzing {

// The serial component drops its transport when the line hangs up; the
// scripted line must outlive that so that what was written can be checked.
class LineHandle final : public link::SerialBackend {
public:
    explicit LineHandle(testing::ScriptedBackend &line) : m_line(line) {}
    void open(const link::LineSettings &settings) override { m_line.open(settings); }
    void close() override { m_line.close(); }
    bool isOpen() const override { return m_line.isOpen(); }
    void applySettings(const link::LineSettings &settings) override {
        m_line.applySettings(settings);
    }
    qint64 bytesAvailable() override { return m_line.bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override { return m_line.read(maxBytes); }
    void write(const QByteArray &bytes) override { m_line.write(bytes); }
    void discardInput() override { m_line.discardInput(); }
    void discardOutput() override { m_line.discardOutput(); }
    bool waitForReadyRead(int ms) override { return m_line.waitForReadyRead(ms); }
    void setDtr(bool on) override { m_line.setDtr(on); }
    void setRts(bool on) override { m_line.setRts(on); }

private:
    testing::ScriptedBackend &m_line;
};

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
