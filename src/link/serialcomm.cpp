#include "serialcomm.h"

#include "busywait.h"
#include "clock.h"
#include "portmap.h"

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
    if (m_backend)
        m_backend->close();
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
        if (m_backend) {
            m_backend->close();
            m_backend.reset();
        }
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
    m_backend->setHangUpHandler(
        [this, opened] { noteFault(LineFault::DeviceGone, opened->lineName()); });
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

bool SerialComm::waitForInBufferCount(int count, qint64 deadlineMs) {
    SerialBackend &backend = openBackend();
    // The wait itself takes in what arrived, so after it the buffer's count is current.
    for (qint64 have = backend.bytesAvailable();; have = backend.bufferedCount()) {
        if (have >= count)
            return true;
        if (!backend.isOpen())
            break;
        checkBusy();
        const qint64 now = clock().nowMs();
        if (deadlineMs - now <= 0)
            return false;
        // Woken early once, when the stretch the wait belongs to turns busy.
        backend.waitForReadyRead(clampToInt(std::min(deadlineMs, nextBusyCheckMs()) - now));
        if (!backend.isOpen())
            break;
    }
    noteFault(LineFault::DeviceGone, backend.lineName());
    throw SerialError(kPortIoFailed);
}

} // namespace talvex::link
