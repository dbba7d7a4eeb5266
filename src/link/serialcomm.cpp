#include "serialcomm.h"

#include "clock.h"
#include "portmap.h"

#include <algorithm>
#include <limits>

namespace talvex::link {
namespace {

constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;

// After a hang-up the backend is closed but still held; the component then
// behaves as closed and may open again.
void releaseIfHungUp(std::unique_ptr<SerialBackend> &backend) {
    if (backend && !backend->isOpen())
        backend.reset();
}

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
    releaseIfHungUp(m_backend);
    if (!m_backend)
        throw SerialError(kPortNotOpen);
    return *m_backend;
}

void SerialComm::setCommPort(int port) {
    releaseIfHungUp(m_backend);
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
    releaseIfHungUp(m_backend);
    if (m_backend)
        m_backend->applySettings(s);
    m_settings = s;
}

bool SerialComm::PortOpen() const {
    return m_backend && m_backend->isOpen();
}

void SerialComm::setPortOpen(bool open) {
    releaseIfHungUp(m_backend);
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
    backend->open(m_settings);
    m_backend = std::move(backend);
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
    qint64 n = backend.bytesAvailable();
    if (m_inputLen > 0)
        n = std::min<qint64>(n, m_inputLen);
    if (n <= 0)
        return {};
    return backend.read(n);
}

void SerialComm::setOutput(const QByteArray &bytes) {
    openBackend().write(bytes);
}

void SerialComm::setOutput(const QString &text) {
    setOutput(text.toLatin1());
}

void SerialComm::setDTREnable(bool on) {
    openBackend().setDtr(on);
}

void SerialComm::setRTSEnable(bool on) {
    openBackend().setRts(on);
}

bool SerialComm::waitForInBufferCount(int count, qint64 deadlineMs) {
    SerialBackend &backend = openBackend();
    for (;;) {
        if (backend.bytesAvailable() >= count)
            return true;
        // A line that hung up counts as a fault, as a poll of InBufferCount
        // on a closed port would.
        if (!backend.isOpen())
            break;
        const qint64 left = deadlineMs - clock().nowMs();
        if (left <= 0)
            return false;
        backend.waitForReadyRead(clampToInt(left));
        if (!backend.isOpen())
            break;
    }
    m_backend.reset();
    throw SerialError(kPortNotOpen);
}

} // namespace talvex::link
