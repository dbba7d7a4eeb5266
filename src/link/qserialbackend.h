#pragma once

#include "serialbackend.h"

#include <QString>
#include <memory>

class QSerialPort;

namespace talvex::link {

// A serial device driven through QSerialPort from a thread that does not run
// the event loop while it waits. QSerialPort only moves bytes inside its
// waitFor* calls or the event loop, so every count and write here drives it
// explicitly.
//
// A line that hangs up (the device end went away) makes QSerialPort report read
// errors without end and, if left open, keeps a core busy; the port is closed
// as soon as that is seen, and isOpen() turns false.
class QSerialBackend final : public SerialBackend {
public:
    explicit QSerialBackend(const QString &devicePath);
    ~QSerialBackend() override;
    QSerialBackend(const QSerialBackend &) = delete;
    QSerialBackend &operator=(const QSerialBackend &) = delete;

    QString devicePath() const { return m_path; }

    void open(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override;
    void applySettings(const LineSettings &settings) override;

    qint64 bytesAvailable() override;
    QByteArray read(qint64 maxBytes) override;
    void write(const QByteArray &bytes) override;
    void discardInput() override;
    void discardOutput() override;

    bool waitForReadyRead(int ms) override;

    void setDtr(bool on) override;
    void setRts(bool on) override;

private:
    void applyLineSettings(const LineSettings &settings);
    void fetchWaitingBytes();
    // Closes the port if the line hung up; const because isOpen() must see
    // a hang-up without any other call first.
    bool checkHangUp() const;
    void closeAfterHangUp() const;

    QString m_path;
    std::unique_ptr<QSerialPort> m_port; // pointer: closing after a hang-up is allowed in const
    mutable bool m_hungUp = false;
};

} // namespace talvex::link
