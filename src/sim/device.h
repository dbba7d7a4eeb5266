#pragma once

#include <QByteArray>
#include <deque>

namespace talvex::sim {

// The device end of a serial line, independent of the transport that carries
// its bytes. The host feeds it what arrived and writes what falls due; time is
// passed in (microseconds on a monotonic clock), so a device is a plain state
// machine that tests can drive directly.
//
// A device is not thread-safe; its host serialises every call.
class Device {
public:
    virtual ~Device() = default;

    // Bytes that arrived on the line, sent by the program at lineBaud (0 when
    // the host cannot tell). Bytes at another speed than the device's own are
    // garbage to a real device and are dropped here. With wire time on, each
    // byte reaches the device only once its bits have crossed the line.
    void feed(const QByteArray &bytes, int lineBaud, qint64 nowUs);
    // Hands over received bytes whose time has come and lets time-driven work
    // (expiring partial frames) happen. takeOutput() and takeHangUp() do this
    // themselves.
    void advance(qint64 nowUs);

    // Bytes due on the line by nowUs, in order.
    QByteArray takeOutput(qint64 nowUs);
    // True once the device decided to hang up and every byte before it left.
    bool takeHangUp(qint64 nowUs);
    // The earliest time the host must call back (a byte received or due out,
    // or a timeout), or -1.
    qint64 nextWakeUs() const;
    // Forgets everything queued and collected: the device restarts.
    void resetLine();

    int baud() const { return m_baud; }
    void setBaud(int baud) { m_baud = baud; }
    // Wire time: a byte is complete at the other end 10 bit times (start,
    // eight data bits, stop) after the previous byte in the same direction.
    bool wireTime() const { return m_wireTime; }
    void setWireTime(bool on) { m_wireTime = on; }

protected:
    virtual void receive(const QByteArray &bytes, qint64 nowUs) = 0;
    // Timeouts of the subclass that fell due by nowUs.
    virtual void expire(qint64 nowUs) { Q_UNUSED(nowUs) }
    virtual void restart() {}
    // Timeouts of the subclass; -1 for none.
    virtual qint64 ownWakeUs() const { return -1; }

    // Queue bytes to leave at atUs (plus wire time).
    void send(const QByteArray &bytes, qint64 atUs);
    void hangUp(qint64 atUs);

private:
    struct Chunk {
        qint64 dueUs;
        QByteArray bytes;
        bool hangUp;
    };

    // One direction of the line. A real line is full duplex, so each
    // direction is busy on its own. Bytes sent back to back form a burst; byte
    // k of a burst is complete k byte times after the burst began, counted
    // from the burst start so that rounding never adds up.
    struct Wire {
        qint64 freeUs = 0;
        qint64 burstStartUs = 0;
        qint64 burstBytes = 0;
        // When the next byte, handed over at atUs, is complete.
        qint64 byteDone(qint64 atUs, int baud);
    };

    void queue(std::deque<Chunk> &queue, const QByteArray &bytes, qint64 atUs, Wire &wire);

    std::deque<Chunk> m_in;  // received, not yet complete at the device
    std::deque<Chunk> m_out; // on the way to the program
    Wire m_inWire;
    Wire m_outWire;
    int m_baud = 9600;
    bool m_wireTime = false;
};

} // namespace talvex::sim
