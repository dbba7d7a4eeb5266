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

bool DemoDevices::start(QString *error, bool loopbackOnly) {
    const auto startAll = [&](QString *reason) {
        return m_reader->start(reason) && m_kvr820->start(reason) && m_kvr840->start(reason);
    };
    QString ptyError;
    if (loopbackOnly || !startAll(&ptyError)) {
        // Containers and some sandboxes have no pseudo-terminals; the windows
        // then reach the same devices in-process.
        if (!loopbackOnly)
            qWarning("no pseudo-terminal (%s): the simulated devices run in-process",
                     qPrintable(ptyError));
        const sim::ReaderModel model = m_reader->model();
        m_reader = std::make_unique<sim::ReaderSim>(model, 9600, sim::Transport::Loopback);
        m_kvr820 = std::make_unique<sim::DispenserSim>(sim::DispenserModel::Kvr820, 9600,
                                                       sim::Transport::Loopback);
        m_kvr840 = std::make_unique<sim::DispenserSim>(sim::DispenserModel::Kvr840, 9600,
                                                       sim::Transport::Loopback);
        if (!startAll(error))
            return false;
    }
    m_reader->mapToPort(kReaderPort);
    m_kvr820->mapToPort(kKvr820Port);
    m_kvr840->mapToPort(kKvr840Port);
    return true;
}

} // namespace talvex::app
