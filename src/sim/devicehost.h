#pragma once

#include "link/portmap.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>

namespace talvex::sim {

class Device;

// Which way bytes went, for anyone watching a simulated line.
enum class Direction { FromProgram, ToProgram };
using TrafficListener = std::function<void(Direction, const QByteArray &)>;

// Carries a Device's bytes to the program and runs the device on a thread of
// its own. Transports differ (a pseudo-terminal, or an in-process loopback
// where no pseudo-terminal can be had); everything above them talks to this
// interface only.
//
// Every public call is thread-safe.
class DeviceHost {
public:
    virtual ~DeviceHost() = default;

    // The device this host carries; it must outlive the host. Set once, before
    // the first start().
    void attach(Device *device);
    // Opens the line and starts the device thread. Returns false with a reason
    // when the line cannot be opened.
    virtual bool start(QString *error = nullptr) = 0;
    // Stops the thread and closes the line; start() may be called again.
    virtual void stop() = 0;
    // False before start, after stop and after the device hung up.
    virtual bool isRunning() const = 0;
    // What the program opens (a pty slave path), or a description of the line
    // where the program reaches it in-process; empty while not running.
    virtual QString slavePath() const = 0;
    // The program's end of an in-process line; empty for a transport that the
    // program opens by its path.
    virtual link::BackendFactory backendFactory() const { return {}; }
    // Puts this line behind the program's port number, whichever transport
    // carries it. Call again after a restart: a pty path may have changed.
    void mapToPort(int port) const;

    // Runs change with the device while the device thread keeps off it, then
    // lets the thread re-read its deadlines.
    void withDevice(const std::function<void(Device &)> &change) const;

    // Called on the device thread for every chunk read or written.
    void setTrafficListener(TrafficListener listener);

protected:
    virtual void wake() const = 0;
    void notifyTraffic(Direction direction, const QByteArray &bytes);

    // The steps every transport's device thread takes, under the device lock:
    // hand over what arrived at lineBaud, collect what falls due now (and
    // whether the device hung up), telling the listener either way.
    void feedDevice(const QByteArray &bytes, int lineBaud);
    QByteArray takeDueOutput(bool *hangUp);
    // The monotonic clock the devices run on, in microseconds.
    static qint64 steadyUs();

    Device *m_device = nullptr;
    mutable std::mutex m_deviceMutex; // guards *m_device

private:
    std::mutex m_listenerMutex;
    TrafficListener m_listener;
};

enum class Transport { Pty, Loopback };
std::unique_ptr<DeviceHost> createHost(Transport transport);

} // namespace talvex::sim
