#pragma once

#include "serialbackend.h"
#include "serialerror.h"

#include <QByteArray>
#include <QString>
#include <QCoro/QCoroTask>
#include <coroutine>
#include <functional>
#include <memory>

class QTimer;

namespace talvex::link {

class Operations;

// Thrown out of an awaited wait whose line was closed, or whose component or
// operation went away, while it waited: the handler that awaited it ends
// there, without a box and without touching its window again. Deliberately
// not a std::exception, so that no handler's catch of a port fault takes it.
struct Abandoned {};

// The serial communications control, one instance per line (MSComm1, MSComm820,
// MSComm840). Property names follow the control's; every property except
// CommPort and Settings throws SerialError(kPortNotOpen) while the port is closed.
// Used from the window thread: counts are current when read, and a wait is
// awaited, so the event loop runs while it lasts (see Clock::realTime() for a
// test's driven clock). One wait at a time per line: Operations makes sure of
// that. At most kInBufferSize received bytes wait; what arrives beyond that is
// dropped.
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

    // Awaits at least count bytes, until the clock passes deadlineMs. Returns
    // whether they are there. Never spins; the event loop runs meanwhile. A
    // line that hangs up meanwhile throws SerialError(kPortIoFailed); a port
    // closed meanwhile throws Abandoned.
    QCoro::Task<bool> waitForInBufferCount(int count, qint64 deadlineMs);
    // Awaits ms milliseconds whatever arrives or happens to the line; only
    // closing the port or abandoning the wait ends it early (Abandoned).
    QCoro::Task<> pause(qint64 ms);

    // Ends the wait in progress on this line at once: it throws Abandoned to
    // its handler. Closing the port and destroying the component do it too.
    void abandonWait();

    // The operation running on this line, if any (see Operations).
    const Operations *holder() const { return m_holder; }
    bool busy() const { return m_holder != nullptr; }

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
    friend class Operations;

    // Suspends the awaiting handler until wakeAtMs on the clock, a hang-up,
    // abandonment (then it throws Abandoned), or, for want > 0, want bytes in.
    class Sleep {
    public:
        Sleep(SerialComm &line, qint64 wakeAtMs, int want)
            : m_line(line), m_wakeAtMs(wakeAtMs), m_want(want) {}
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handler);
        void await_resume() const {
            if (m_abandoned)
                throw Abandoned{};
        }

    private:
        friend class SerialComm;
        SerialComm &m_line;
        qint64 m_wakeAtMs;
        int m_want;
        std::coroutine_handle<> m_handler;
        bool m_abandoned = false;
    };
    void wake();
    void takeArrival();

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
    const Operations *m_holder = nullptr;
    bool m_heldByPoll = false;         // the holder's command is a background poll
    std::function<void()> m_afterPoll; // the command that waits for that poll to end
    Sleep *m_sleep = nullptr;          // the wait in progress, if suspended
    std::unique_ptr<QTimer> m_wakeTimer; // made on the first suspended wait
};

// The pause of a handler on the line it works on: ms milliseconds, during
// which the event loop runs. Closing the line ends it with Abandoned.
QCoro::Task<> DelayMs(SerialComm &line, qint32 ms);

} // namespace talvex::link
