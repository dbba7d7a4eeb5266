#pragma once

#include "fakeclock.h"
#include "link/serialbackend.h"
#include "link/serialerror.h"

#include <QList>
#include <functional>

namespace talvex::testing {

// A serial transport whose device side is a script run on the fake clock.
// Bytes fed for a time become readable when the clock reaches it; a wait for
// bytes moves the clock to the next arrival, or by its whole limit.
class ScriptedBackend final : public link::SerialBackend {
public:
    explicit ScriptedBackend(FakeClock &clock) : m_clock(clock) {}

    // Device side.
    void feedAt(qint64 atMs, const QByteArray &bytes);
    void feedAfter(qint64 delayMs, const QByteArray &bytes) {
        feedAt(m_clock.nowMs() + delayMs, bytes);
    }
    // Called for every write of the program, to script the device's answer.
    std::function<void(const QByteArray &written, ScriptedBackend &self)> onWrite;
    int openError = 0; // a SerialError number that open() throws, or 0
    link::LineFault openFault = link::LineFault::None; // and the cause it names
    void hangUp() { m_open = false; }
    // The device end goes away when the clock reaches atMs; a wait in progress
    // ends there.
    void hangUpAt(qint64 atMs) { m_hangUpAt = atMs; }

    QByteArray written() const { return m_written; }
    QList<QByteArray> writes() const { return m_writes; }
    link::LineSettings settings() const { return m_settings; }
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }

    // SerialBackend
    void open(const link::LineSettings &settings) override;
    void close() override { m_open = false; }
    bool isOpen() const override;
    void applySettings(const link::LineSettings &settings) override { m_settings = settings; }
    qint64 bytesAvailable() override;
    QByteArray read(qint64 maxBytes) override;
    void write(const QByteArray &bytes) override;
    void discardInput() override;
    void discardOutput() override {}
    bool waitForReadyRead(int ms) override;
    void setDtr(bool on) override { m_dtr = on; }
    void setRts(bool on) override { m_rts = on; }

private:
    struct Pending {
        qint64 at;
        QByteArray bytes;
    };
    void release(); // moves what is due into the receive buffer

    FakeClock &m_clock;
    QList<Pending> m_pending; // sorted by time
    QByteArray m_in;
    QByteArray m_written;
    QList<QByteArray> m_writes;
    link::LineSettings m_settings;
    bool m_open = false;
    qint64 m_hangUpAt = -1;
    bool m_dtr = true;
    bool m_rts = true;
};

// What a port opens on a scripted line: the serial component drops its
// transport when the line hangs up or closes, while the line must outlive
// that so that what was written can still be checked.
class ScriptedLineHandle final : public link::SerialBackend {
public:
    explicit ScriptedLineHandle(ScriptedBackend &line) : m_line(line) {}
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
    ScriptedBackend &m_line;
};

} // namespace talvex::testing
