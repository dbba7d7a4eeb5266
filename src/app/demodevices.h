#pragma once

#include "sim/readermodel.h"

#include <QString>
#include <memory>

namespace talvex::sim {
class ReaderSim;
class DispenserSim;
} // namespace talvex::sim

namespace talvex::app {

// The simulated reader and dispensers of a demo run, each on a pseudo-terminal
// of its own that the port map puts behind its COM number.
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
    // cannot be opened.
    bool start(QString *error);

    sim::ReaderSim &reader() { return *m_reader; }
    sim::DispenserSim &kvr820() { return *m_kvr820; }
    sim::DispenserSim &kvr840() { return *m_kvr840; }

private:
    std::unique_ptr<sim::ReaderSim> m_reader;
    std::unique_ptr<sim::DispenserSim> m_kvr820;
    std::unique_ptr<sim::DispenserSim> m_kvr840;
};

} // namespace talvex::app
