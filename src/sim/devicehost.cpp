#include "sim/devicehost.h"

#include "sim/loopbackhost.h"
#include "sim/ptyhost.h"

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
