#pragma once

#include <QByteArray>
#include <deque>

namespace talvex::sim {

// The device end of a serial line, independent of the transport that carries
// its bytes. The host feeds it what arrived and writes what falls due; time is
// passed in (milliseconds on a monotonic clock), so a device is a plain state
// machine that tests can drive directly.
//
// A device is not thread-safe; its host serialises every call.
class Device {
public:
    virtual ~Device() = default;

    // Bytes that arrived on the line, sent by the program at lineBaud (0 when
    // the host cannot tell). Bytes at another speed than the device's own are
    // garbage to a real device and are dropped here.
    void feed(const QByteArray &bytes, int lineBaud, qint64 nowMs);
    // Lets time-driven work (expiring partial frames) happen.
    virtual void advance(qint64 nowMs) { Q_UNUSED(nowMs) }

    // Bytes due on the line by nowMs, in order.
    QByteArray takeOutput(qint64 nowMs);
    // True once the device decided to hang up and every byte before it left.
    bool takeHangUp(qint64 nowMs);
    // The earliest time the host must call back (output or timeout due), or -1.
    qint64 nextWakeMs() const;
    // Forgets everything queued and collected: the device restarts.
    void resetLine();

    int baud() const { return m_baud; }
    void setBaud(int baud) { m_baud = baud; }
    // Wire time: 10 bit times per byte at the device's speed before the byte is
    // complete at the other end.
    bool wireTime() const { return m_wireTime; }
    void setWireTime(bool on) { m_wireTime = on; }

protected:
    virtual void receive(const QByteArray &bytes, qint64 nowMs) = 0;
    virtual void restart() {}
    // Timeouts of the subclass; -1 for none.
    virtual qint64 ownWakeMs() const { return -1; }

    // Queue bytes to leave at atMs (plus wire time).
    void send(const QByteArray &bytes, qint64 atMs);
    void hangUp(qint64 atMs);

private:
    struct Chunk {
        qint64 dueMs;
        QByteArray bytes;
        bool hangUp;
    };
    std::deque<Chunk> m_out;
    qint64 m_wireFreeMs = 0;
    int m_baud = 9600;
    bool m_wireTime = false;
};

} // namespace talvex::sim
