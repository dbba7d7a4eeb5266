#pragma once

#include "sim/devicehost.h"

#include <atomic>
#include <thread>

namespace talvex::sim {

// A device behind a pseudo-terminal. The program opens slavePath() like any
// serial device. The host keeps its own descriptor of the slave open: without
// one, reads on the master fail with EIO whenever the program has the port
// closed, and the speed the program set could not be read back.
class PtyHost final : public DeviceHost {
public:
    PtyHost();
    ~PtyHost() override;
    PtyHost(const PtyHost &) = delete;
    PtyHost &operator=(const PtyHost &) = delete;

    bool start(QString *error = nullptr) override;
    void stop() override;
    bool isRunning() const override;
    QString slavePath() const override;

protected:
    void wake() const override;

private:
    void run();
    int lineBaud() const;
    void closeLine();

    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    int m_master = -1;
    int m_slave = -1;
    int m_wakeFd = -1; // eventfd: stop() and control changes interrupt poll()
    QString m_slavePath;
    mutable std::mutex m_pathMutex;
};

} // namespace talvex::sim
