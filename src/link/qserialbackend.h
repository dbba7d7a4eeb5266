#pragma once

#include "serialbackend.h"
#include "serialerror.h"

#include <QString>
#include <memory>

class QSerialPort;

namespace talvex::link {

// A serial device driven through QSerialPort. Counts and writes drive the
// device themselves, so they are current without the event loop; while a
// handler awaits, QSerialPort's notifier takes in what arrives and tells the
// serial component (reportArrival), which wakes the wait.
//
// A line that hangs up (the device end went away) makes QSerialPort report read
// errors without end and, if left open, keeps a core busy; the port is closed
// as soon as that is seen, and isOpen() turns false.
//
// Received bytes move out of QSerialPort into a buffer of kInBufferSize bytes
// as soon as they are read, also from the event loop while the window is idle;
// what does not fit is dropped.
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
    qint64 bufferedCount() override { return isOpen() ? m_in.size() : 0; }
    QByteArray read(qint64 maxBytes) override;
    void write(const QByteArray &bytes) override;
    void discardInput() override;
    void discardOutput() override;

    bool waitForReadyRead(int ms) override;

    void setDtr(bool on) override;
    void setRts(bool on) override;

    QString lineName() const override { return m_path; }

private:
    void applyLineSettings(const LineSettings &settings);
    void fetchWaitingBytes();
    void takeArrivals();
    LineFault openFault() const;
    // Closes the port if the line hung up; const because isOpen() must see
    // a hang-up without any other call first where reads do not tell.
    bool checkHangUp() const;
    void closeAfterHangUp() const;

    QString m_path;
    std::unique_ptr<QSerialPort> m_port; // pointer: closing after a hang-up is allowed in const
    mutable bool m_hungUp = false;
    QByteArray m_in; // received and waiting, at most kInBufferSize bytes
};

} // namespace talvex::link
