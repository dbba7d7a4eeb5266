#pragma once

#include "sim/devicehost.h"
#include "sim/dispensermechanics.h"

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

    // The machine behind the status characters.
    DispenserMechanics mechanics() const;
    void setMechanics(const DispenserMechanics &mechanics);
    int stackerCards() const;
    void setStackerCards(int cards);
    int binCards() const; // KVR-820 only; 0 for the KVR-840
    void setBinCards(int cards);
    // A card stands at the door (KVR-820) or the mouth (KVR-840).
    bool cardWaiting() const;
    // The user takes that card; false when there is none.
    bool takeCard();

    // With forCommand ("DC"), a frame fault waits for a frame of that command.
    void injectFault(DispenserFault fault, int delayMs = 0, const QByteArray &forCommand = {});
    DispenserFault pendingFault() const;

    void setTrafficListener(TrafficListener listener);

private:
    // Runs one of the two calls with the model's own device.
    template <typename Of820, typename Of840> void withModel(Of820 of820, Of840 of840) const;

    DispenserModel m_model;
    std::unique_ptr<Device> m_device;
    std::unique_ptr<DeviceHost> m_host;
};

} // namespace talvex::sim
