#include "serialcomm.h"

#include "busywait.h"
#include "clock.h"
#include "portmap.h"

#include <QTimer>
#include <algorithm>
#include <limits>

namespace talvex::link {
namespace {

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;

int clampToInt(qint64 n) {
    return int(std::min<qint64>(n, std::numeric_limits<int>::max()));
}

} // namespace

SerialComm::SerialComm() = default;

SerialComm::~SerialComm() {
    m_afterPoll = nullptr;
    abandonWait();
    retireBackend(std::move(m_backend));
}

void SerialComm::Sleep::await_suspend(std::coroutine_handle<> handler) {
    m_handler = handler;
    SerialComm &line = m_line;
    line.m_sleep = this;
    if (!line.m_wakeTimer) {
        line.m_wakeTimer = std::make_unique<QTimer>();
        line.m_wakeTimer->setSingleShot(true);
        line.m_wakeTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(line.m_wakeTimer.get(), &QTimer::timeout, [&line] {
            if (!line.m_sleep)
                return;
            Sleep *sleep = std::exchange(line.m_sleep, nullptr);
            sleep->m_handler.resume();
        });
    }
    const qint64 left = std::max<qint64>(0, m_wakeAtMs - clock().nowMs());
    line.m_wakeTimer->start(clampToInt(clock().wallMs(left)));
}

void SerialComm::wake() {
    if (m_sleep && m_wakeTimer)
        m_wakeTimer->start(0);
}

void SerialComm::takeArrival() {
    // Resumed right here, inside the transport's report, and only once the
    // bytes it waits for are in or the line is gone: an exchange's answer
    // costs no extra turn of the event loop. Closing the line from here is
    // safe (retireBackend).
    if (!m_sleep || m_sleep->m_want <= 0 || !m_backend)
        return;
    if (m_backend->isOpen() && m_backend->bufferedCount() < m_sleep->m_want)
        return;
    m_wakeTimer->stop();
    Sleep *sleep = std::exchange(m_sleep, nullptr);
    sleep->m_handler.resume();
}

void SerialComm::abandonWait() {
    if (!m_sleep)
        return;
    m_wakeTimer->stop();
    Sleep *sleep = std::exchange(m_sleep, nullptr);
    sleep->m_abandoned = true;
    sleep->m_handler.resume();
}

SerialBackend &SerialComm::openBackend() {
    if (!m_backend) {
        noteFault(LineFault::NotOpen, {});
        throw SerialError(kPortNotOpen);
    }
    if (!m_backend->isOpen()) {
        noteFault(LineFault::DeviceGone, m_backend->lineName());
        throw SerialError(kPortIoFailed);
    }
    return *m_backend;
}

void SerialComm::noteFault(LineFault fault, const QString &device) {
    QString where = QStringLiteral("COM%1").arg(m_port);
    if (!device.isEmpty())
        where += QStringLiteral(" (%1)").arg(device);
    setTrouble(where + QStringLiteral(": ") + lineFaultText(fault, m_setupButton));
}

void SerialComm::setTrouble(const QString &text) {
    if (text == m_trouble)
        return;
    m_trouble = text;
    if (m_troubleListener)
        m_troubleListener(m_trouble);
}

void SerialComm::setTroubleListener(std::function<void(const QString &)> listener) {
    m_troubleListener = std::move(listener);
}

void SerialComm::setCommPort(int port) {
    if (m_backend)
        throw SerialError(kPortInUse);
    if (port < kLowestPort || port > kHighestPort)
        throw SerialError(kInvalidPropertyValue);
    m_port = port;
}

QString SerialComm::Settings() const {
    return lineSettingsText(m_settings);
}

void SerialComm::setSettings(const QString &text) {
    LineSettings s;
    if (!parseLineSettings(text, &s))
        throw SerialError(kInvalidPropertyValue);
    if (m_backend && m_backend->isOpen())
        m_backend->applySettings(s);
    m_settings = s;
}

bool SerialComm::PortOpen() const {
    return m_backend != nullptr;
}

void SerialComm::setPortOpen(bool open) {
    if (!open) {
        m_afterPoll = nullptr;
        abandonWait();
        retireBackend(std::move(m_backend));
        return;
    }
    if (m_backend)
        throw SerialError(kPortInUse);
    std::unique_ptr<SerialBackend> backend = portmap::createBackend(m_port);
    if (!backend)
        throw SerialError(kPortNotFound);
    try {
        backend->open(m_settings);
    } catch (const SerialError &e) {
        if (e.fault() != LineFault::None)
            noteFault(e.fault(), backend->lineName());
        throw;
    }
    m_backend = std::move(backend);
    SerialBackend *opened = m_backend.get();
    m_backend->setHangUpHandler([this, opened] {
        noteFault(LineFault::DeviceGone, opened->lineName());
        wake();
    });
    m_backend->setArrivalHandler([this] { takeArrival(); });
    setTrouble({});
}

int SerialComm::InBufferCount() {
    return clampToInt(openBackend().bytesAvailable());
}

void SerialComm::setInBufferCount(int count) {
    SerialBackend &backend = openBackend();
    if (count != 0)
        throw SerialError(kInvalidPropertyValue);
    backend.discardInput();
}

int SerialComm::OutBufferCount() {
    // A write hands its bytes to the driver before it returns, so nothing is
    // ever left queued in the component itself.
    openBackend();
    return 0;
}

void SerialComm::setOutBufferCount(int count) {
    SerialBackend &backend = openBackend();
    if (count != 0)
        throw SerialError(kInvalidPropertyValue);
    backend.discardOutput();
}

void SerialComm::setInputLen(int len) {
    openBackend();
    if (len < 0)
        throw SerialError(kInvalidPropertyValue);
    m_inputLen = len;
}

QByteArray SerialComm::Input() {
    SerialBackend &backend = openBackend();
    // InputLen bytes that are already here are the answer whatever else
    // arrived since; only a read of everything must ask the driver.
    qint64 n = m_inputLen > 0 && backend.bufferedCount() >= m_inputLen ? m_inputLen
                                                                       : backend.bytesAvailable();
    if (m_inputLen > 0)
        n = std::min<qint64>(n, m_inputLen);
    if (n <= 0)
        return {};
    return backend.read(n);
}

void SerialComm::setOutput(const QByteArray &bytes) {
    openBackend().write(bytes);
    // A line that went away while nobody used it shows first on a write.
    if (lineLost())
        openBackend(); // names the cause and throws kPortIoFailed
}

void SerialComm::setOutput(const QString &text) {
    setOutput(text.toLatin1());
}

// A device that went away has no modem lines left to drop: the close that
// usually follows must still go through.
void SerialComm::setDTREnable(bool on) {
    if (lineLost())
        return;
    openBackend().setDtr(on);
}

void SerialComm::setRTSEnable(bool on) {
    if (lineLost())
        return;
    openBackend().setRts(on);
}

QCoro::Task<bool> SerialComm::waitForInBufferCount(int count, qint64 deadlineMs) {
    // The first look asks the driver unless enough is in already; after that
    // the wait itself (or the event loop, for an awaited one) has taken in
    // what arrived.
    for (bool first = true;; first = false) {
        // Looked up again after every turn: the port may have been closed.
        SerialBackend &backend = openBackend();
        if (backend.bufferedCount() >= count || (first && backend.bytesAvailable() >= count))
            co_return true;
        if (!backend.isOpen())
            break;
        checkBusy();
        const qint64 now = clock().nowMs();
        if (deadlineMs - now <= 0) {
            // Bytes the event loop had not yet taken in still count.
            co_return clock().realTime() && backend.bytesAvailable() >= count;
        }
        // Woken early once, when the stretch the wait belongs to turns busy.
        const qint64 wakeAt = std::min(deadlineMs, nextBusyCheckMs());
        if (clock().realTime()) {
            co_await Sleep(*this, wakeAt, count);
        } else {
            backend.waitForReadyRead(clampToInt(wakeAt - now));
            if (!backend.isOpen())
                break;
        }
    }
    noteFault(LineFault::DeviceGone, m_backend ? m_backend->lineName() : QString());
    throw SerialError(kPortIoFailed);
}

QCoro::Task<> SerialComm::pause(qint64 ms) {
    Clock &c = clock();
    const qint64 until = c.nowMs() + ms;
    // A sleep may end early (an arrival, a signal); sleep out whatever is
    // left. The sleep is cut once where the stretch it belongs to turns busy.
    for (qint64 now = c.nowMs(); now < until; now = c.nowMs()) {
        const qint64 wakeAt = std::min(until, nextBusyCheckMs());
        if (c.realTime())
            co_await Sleep(*this, wakeAt, 0);
        else
            c.sleepMs(wakeAt - now);
        checkBusy();
    }
}

QCoro::Task<> DelayMs(SerialComm &line, qint32 ms) {
    co_await line.pause(ms);
}

} // namespace talvex::link
