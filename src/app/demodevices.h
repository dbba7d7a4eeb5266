#pragma once

#include "sim/readermodel.h"

#include <QString>
#include <memory>

namespace talvex::sim {
class ReaderSim;
class DispenserSim;
} // namespace talvex::sim

namespace talvex::app {

// The simulated reader and dispensers of a demo run, each on a line of its own
// that the port map puts behind its COM number: a pseudo-terminal, or an
// in-process loopback where none can be opened.
class DemoDevices {
public:
    static constexpr int kReaderPort = 1;
    static constexpr int kKvr820Port = 2;
    static constexpr int kKvr840Port = 3;

    explicit DemoDevices(sim::ReaderModel readerModel);
    ~DemoDevices();
    DemoDevices(const DemoDevices &) = delete;
    DemoDevices &operator=(const DemoDevices &) = delete;

    // Starts every device and maps its port; false with a reason when a line
    // cannot be opened. With loopbackOnly no pseudo-terminal is tried.
    bool start(QString *error, bool loopbackOnly = false);

    sim::ReaderSim &reader() { return *m_reader; }
    sim::DispenserSim &kvr820() { return *m_kvr820; }
    sim::DispenserSim &kvr840() { return *m_kvr840; }

private:
    std::unique_ptr<sim::ReaderSim> m_reader;
    std::unique_ptr<sim::DispenserSim> m_kvr820;
    std::unique_ptr<sim::DispenserSim> m_kvr840;
};

} // namespace talvex::app
