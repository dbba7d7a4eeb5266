#pragma once

#include "serialbackend.h"
#include "serialerror.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace talvex::link {

// The serial communications control, one instance per line (MSComm1, MSComm820,
// MSComm840). Property names follow the control's; every property except
// CommPort and Settings throws SerialError(kPortNotOpen) while the port is closed.
// Used from the window thread without the event loop: counts are current when
// read, and waits block in the operating system. At most kInBufferSize received
// bytes wait; what arrives beyond that is dropped.
//
// A line whose device goes away stays open, as the control's does: every data
// property then throws SerialError(kPortIoFailed) until the port is closed, and
// lineTrouble() says what happened.
class SerialComm {
public:
    SerialComm();
    ~SerialComm();
    SerialComm(const SerialComm &) = delete;
    SerialComm &operator=(const SerialComm &) = delete;

    int CommPort() const { return m_port; }
    void setCommPort(int port); // 1..255; kPortInUse while open

    QString Settings() const;
    void setSettings(const QString &text); // kInvalidPropertyValue on a text it cannot read

    bool PortOpen() const;
    void setPortOpen(bool open); // kPortNotFound, kPortInUse

    int InBufferCount();
    void setInBufferCount(int count); // only 0: discards what waits

    int OutBufferCount();
    void setOutBufferCount(int count); // only 0: discards what is not yet sent

    int InputLen() const { return m_inputLen; }
    void setInputLen(int len); // 0: all that waits

    QByteArray Input();
    void setOutput(const QByteArray &bytes);
    void setOutput(const QString &text); // sent as its 8-bit characters

    void setDTREnable(bool on);
    void setRTSEnable(bool on);

    // Blocks until at least count bytes wait or the clock passes deadlineMs.
    // Returns whether they are there. Never spins, never runs the event loop.
    // A line that hangs up meanwhile throws SerialError(kPortIoFailed).
    bool waitForInBufferCount(int count, qint64 deadlineMs);

    // What really went wrong with the line, for the window's status line: the
    // port's name and device, then lineFaultText(). Empty while the last open
    // went through and the line has not failed since.
    QString lineTrouble() const { return m_trouble; }
    // Told of every change of lineTrouble() at once, also while the window is
    // idle and a hang-up is noticed from the event loop.
    void setTroubleListener(std::function<void(const QString &)> listener);
    // The caption of the button that opens this port in its window, named by
    // lineTrouble() (default "Setup Comm").
    void setSetupButtonCaption(const QString &caption) { m_setupButton = caption; }

private:
    // Throws kPortNotOpen while closed and kPortIoFailed after a hang-up.
    SerialBackend &openBackend();
    bool lineLost() const { return m_backend && !m_backend->isOpen(); }
    void noteFault(LineFault fault, const QString &device);
    void setTrouble(const QString &text);

    QString m_trouble;
    QString m_setupButton = QStringLiteral("Setup Comm");
    std::function<void(const QString &)> m_troubleListener;
    int m_port = 1;
    LineSettings m_settings;
    int m_inputLen = 0;
    std::unique_ptr<SerialBackend> m_backend;
};

} // namespace talvex::link
