#include "sim/devicehost.h"

#include "sim/device.h"
#include "sim/loopbackhost.h"
#include "sim/ptyhost.h"

#include <chrono>

namespace talvex::sim {

void DeviceHost::attach(Device *device) {
    std::lock_guard lock(m_deviceMutex);
    m_device = device;
}

void DeviceHost::withDevice(const std::function<void(Device &)> &change) const {
    {
        std::lock_guard lock(m_deviceMutex);
        if (!m_device)
            return;
        change(*m_device);
    }
    wake();
}

void DeviceHost::mapToPort(int port) const {
    if (link::BackendFactory factory = backendFactory())
        link::portmap::mapBackend(port, std::move(factory));
    else
        link::portmap::mapPath(port, slavePath());
}

void DeviceHost::setTrafficListener(TrafficListener listener) {
    std::lock_guard lock(m_listenerMutex);
    m_listener = std::move(listener);
}

void DeviceHost::notifyTraffic(Direction direction, const QByteArray &bytes) {
    std::lock_guard lock(m_listenerMutex);
    if (m_listener && !bytes.isEmpty())
        m_listener(direction, bytes);
}

void DeviceHost::feedDevice(const QByteArray &bytes, int lineBaud) {
    notifyTraffic(Direction::FromProgram, bytes);
    std::lock_guard lock(m_deviceMutex);
    m_device->feed(bytes, lineBaud, steadyUs());
}

QByteArray DeviceHost::takeDueOutput(bool *hangUp) {
    QByteArray out;
    {
        std::lock_guard lock(m_deviceMutex);
        const qint64 now = steadyUs();
        out = m_device->takeOutput(now);
        *hangUp = m_device->takeHangUp(now);
    }
    notifyTraffic(Direction::ToProgram, out);
    return out;
}

qint64 DeviceHost::steadyUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<DeviceHost> createHost(Transport transport) {
    switch (transport) {
    case Transport::Pty:
        return std::make_unique<PtyHost>();
    case Transport::Loopback:
        return std::make_unique<LoopbackHost>();
    }
    return nullptr;
}

} // namespace talvex::sim
