#pragma once

#include "sim/devicehost.h"

#include <atomic>
#include <memory>
#include <thread>

namespace talvex::sim {

struct LoopbackPort;

// A device inside the program's own process, for machines that offer no
// pseudo-terminal. The program reaches it through a link::SerialBackend from
// backendFactory(), which the port map puts behind a port number; nothing
// outside the process can open it.
//
// The line behaves as the pseudo-terminal does: the device runs on a thread of
// its own with the same deadlines and wire time, bytes the program sends at
// another speed than the device's are dropped (the backend tells the host the
// speed the program set, as tcgetattr does on a pty), one program at a time
// holds the line, and a hang-up or stop() ends the line for the backend that
// holds it: it reports closed and its waits return at once. After a restart
// the same factory reaches the new line.
//
// slavePath() gives the fixed text "loopback" while running, so that windows
// that show a path show what carries the line; it is no path that can be opened.
class LoopbackHost final : public DeviceHost {
public:
    LoopbackHost();
    ~LoopbackHost() override;
    LoopbackHost(const LoopbackHost &) = delete;
    LoopbackHost &operator=(const LoopbackHost &) = delete;

    bool start(QString *error = nullptr) override;
    void stop() override;
    bool isRunning() const override;
    QString slavePath() const override;
    // Stays valid across restarts and after the host is gone: opening a
    // backend while the host is not running fails with kPortNotFound.
    link::BackendFactory backendFactory() const override;

protected:
    void wake() const override;

private:
    void run();

    std::shared_ptr<LoopbackPort> m_port;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};

} // namespace talvex::sim
