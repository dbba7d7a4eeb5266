#include "demodevices.h"

#include "link/portmap.h"
#include "sim/dispensersim.h"
#include "sim/readersim.h"

namespace talvex::app {

DemoDevices::DemoDevices(sim::ReaderModel readerModel)
    : m_reader(std::make_unique<sim::ReaderSim>(readerModel)),
      m_kvr820(std::make_unique<sim::DispenserSim>(sim::DispenserModel::Kvr820)),
      m_kvr840(std::make_unique<sim::DispenserSim>(sim::DispenserModel::Kvr840)) {}

DemoDevices::~DemoDevices() {
    // The program's ports may still point at these lines; forget them first so
    // that nothing opens a path that is about to vanish.
    link::portmap::unmap(kReaderPort);
    link::portmap::unmap(kKvr820Port);
    link::portmap::unmap(kKvr840Port);
}

bool DemoDevices::start(QString *error) {
    if (!m_reader->start(error) || !m_kvr820->start(error) || !m_kvr840->start(error))
        return false;
    link::portmap::mapPath(kReaderPort, m_reader->slavePath());
    link::portmap::mapPath(kKvr820Port, m_kvr820->slavePath());
    link::portmap::mapPath(kKvr840Port, m_kvr840->slavePath());
    return true;
}

} // namespace talvex::app
