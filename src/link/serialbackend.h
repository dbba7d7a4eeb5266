#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace talvex::link {

struct LineSettings {
    int baud = 9600;
    char parity = 'n'; // 'n', 'o' or 'e'
    int dataBits = 8;  // 7 or 8
    int stopBits = 1;  // 1 or 2

    bool operator==(const LineSettings &) const = default;
};

// Parses "9600n81" or "9600,n,8,1"; returns false on anything else.
bool parseLineSettings(const QString &text, LineSettings *out);
QString lineSettingsText(const LineSettings &s); // "9600,n,8,1"

// The most received bytes a line keeps waiting, as the control's fixed input
// buffer: room for the longest reply (1025 bytes and its header) several times
// over. What arrives while it is full is dropped, so a device that keeps
// sending while nobody reads costs no memory.
constexpr int kInBufferSize = 4096;

// The transport under the serial component: a real serial device, or a test
// double with scripted bytes. All calls come from one thread; none blocks
// longer than its time limit, and only waitForReadyRead() waits at all.
class SerialBackend {
public:
    virtual ~SerialBackend() = default;

    // Throws SerialError (kPortNotFound, kPortInUse) when the device cannot be opened.
    virtual void open(const LineSettings &settings) = 0;
    virtual void close() = 0;
    // False once closed, and after the line hung up (the device end went away).
    virtual bool isOpen() const = 0;
    virtual void applySettings(const LineSettings &settings) = 0;

    // Bytes received and waiting, current at the moment of the call.
    virtual qint64 bytesAvailable() = 0;
    // The bytes waiting as the last count or wait found them, without asking
    // the driver again; for a transport whose count costs nothing it is the count.
    virtual qint64 bufferedCount() { return bytesAvailable(); }
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Queues bytes for sending; returns without waiting for them to leave.
    virtual void write(const QByteArray &bytes) = 0;
    virtual void discardInput() = 0;
    virtual void discardOutput() = 0;

    // Blocks until more bytes arrive or ms milliseconds pass. Returns false on
    // timeout or hang-up. Never spins and never runs the event loop.
    virtual bool waitForReadyRead(int ms) = 0;

    // Modem lines; a failure (a pseudo-terminal has none) is ignored.
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;

    // What the user knows the device by (its path), for messages; may be empty.
    virtual QString lineName() const { return {}; }

    // Called when the line hangs up by itself, not on close(); a backend that
    // notices the hang-up while the event loop runs calls it from there.
    void setHangUpHandler(std::function<void()> handler) { m_hangUpHandler = std::move(handler); }

    // Called from the owning thread's event loop when bytes may have arrived,
    // so that an awaited wait looks again without polling. A transport whose
    // waits only pass on a driven clock need not call it. The wait goes on
    // inside the call, and may close the line: see retireBackend().
    void setArrivalHandler(std::function<void()> handler) { m_arrivalHandler = std::move(handler); }

    // True while an arrival is being told.
    bool reporting() const { return m_reporting > 0; }

protected:
    void reportHangUp() const {
        if (m_hangUpHandler)
            m_hangUpHandler();
    }
    void reportArrival() {
        if (!m_arrivalHandler)
            return;
        ++m_reporting;
        // A copy: the handler may be dropped while it runs.
        const std::function<void()> handler = m_arrivalHandler;
        handler();
        --m_reporting;
    }

private:
    std::function<void()> m_hangUpHandler;
    std::function<void()> m_arrivalHandler;
    int m_reporting = 0;
};

// Closes a backend and destroys it: at once, or, when the wait that closed it
// runs inside the backend's own arrival report (the transport still on the
// stack), once the event loop is back. It tells nobody anything after this.
void retireBackend(std::unique_ptr<SerialBackend> backend);

} // namespace talvex::link
