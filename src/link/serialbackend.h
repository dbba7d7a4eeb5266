#pragma once

#include <QByteArray>
#include <QString>

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

// The transport under the serial component: a real serial device, or a test
// double with scripted bytes. All calls come from one thread and block at most
// as long as their time limit.
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
};

} // namespace talvex::link
