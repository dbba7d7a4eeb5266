#pragma once

#include "sim/devicehost.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace talvex::sim {

class Device;
class DispenserDevice820;
class DispenserDevice840;

enum class DispenserModel { Kvr820, Kvr840 };

// A simulated dispenser on a line of its own. Every call is thread-safe.
class DispenserSim {
public:
    explicit DispenserSim(DispenserModel model, int baud = 9600,
                          Transport transport = Transport::Pty);
    ~DispenserSim();
    DispenserSim(const DispenserSim &) = delete;
    DispenserSim &operator=(const DispenserSim &) = delete;

    DispenserModel model() const { return m_model; }

    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const;
    QString slavePath() const;      // as ReaderSim::slavePath()
    void mapToPort(int port) const; // as ReaderSim::mapToPort()

    int baud() const;
    void setBaud(int baud);
    void setWireTime(bool on);

    // KVR-840 only: the two address characters ("15" by default). Ignored for
    // the KVR-820, which has no address.
    QByteArray address() const;
    void setAddress(const QByteArray &address);

    // The raw status characters the next status reply carries: "ZABC" for the
    // KVR-820 ("RF" answers ABC), "S1S2" for the KVR-840. Shorter text leaves
    // the remaining characters as they are.
    QByteArray statusChars() const;
    void setStatusChars(const QByteArray &chars);

    void setTrafficListener(TrafficListener listener);

private:
    DispenserModel m_model;
    std::unique_ptr<Device> m_device;
    std::unique_ptr<DeviceHost> m_host;
};

} // namespace talvex::sim
