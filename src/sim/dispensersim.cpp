#include "sim/dispensersim.h"

#include "sim/dispenserdevice820.h"
#include "sim/dispenserdevice840.h"

namespace talvex::sim {

DispenserSim::DispenserSim(DispenserModel model, int baud, Transport transport)
    : m_model(model), m_host(createHost(transport)) {
    if (model == DispenserModel::Kvr820)
        m_device = std::make_unique<DispenserDevice820>();
    else
        m_device = std::make_unique<DispenserDevice840>();
    m_device->setBaud(baud);
    m_host->attach(m_device.get());
}

DispenserSim::~DispenserSim() {
    m_host->stop();
}

bool DispenserSim::start(QString *error) {
    return m_host->start(error);
}
void DispenserSim::stop() {
    m_host->stop();
}
bool DispenserSim::isRunning() const {
    return m_host->isRunning();
}
QString DispenserSim::slavePath() const {
    return m_host->slavePath();
}
void DispenserSim::mapToPort(int port) const {
    m_host->mapToPort(port);
}

int DispenserSim::baud() const {
    int b = 0;
    m_host->withDevice([&](Device &d) { b = d.baud(); });
    return b;
}

void DispenserSim::setBaud(int baud) {
    m_host->withDevice([&](Device &d) { d.setBaud(baud); });
}

void DispenserSim::setWireTime(bool on) {
    m_host->withDevice([&](Device &d) { d.setWireTime(on); });
}

QByteArray DispenserSim::address() const {
    QByteArray a;
    if (m_model == DispenserModel::Kvr840)
        m_host->withDevice([&](Device &d) { a = static_cast<DispenserDevice840 &>(d).address(); });
    return a;
}

void DispenserSim::setAddress(const QByteArray &address) {
    if (m_model != DispenserModel::Kvr840)
        return;
    m_host->withDevice(
        [&](Device &d) { static_cast<DispenserDevice840 &>(d).setAddress(address); });
}

QByteArray DispenserSim::statusChars() const {
    QByteArray chars;
    m_host->withDevice([&](Device &d) {
        if (m_model == DispenserModel::Kvr820) {
            const auto s = static_cast<DispenserDevice820 &>(d).status();
            chars = QByteArray() + s.z + s.a + s.b + s.c;
        } else {
            const auto s = static_cast<DispenserDevice840 &>(d).status();
            chars = QByteArray() + s.s1 + s.s2;
        }
    });
    return chars;
}

void DispenserSim::setStatusChars(const QByteArray &chars) {
    m_host->withDevice([&](Device &d) {
        if (m_model == DispenserModel::Kvr820) {
            auto &dev = static_cast<DispenserDevice820 &>(d);
            auto s = dev.status();
            char *fields[] = {&s.z, &s.a, &s.b, &s.c};
            for (qsizetype i = 0; i < chars.size() && i < 4; ++i)
                *fields[i] = chars.at(i);
            dev.setStatus(s);
        } else {
            auto &dev = static_cast<DispenserDevice840 &>(d);
            auto s = dev.status();
            char *fields[] = {&s.s1, &s.s2};
            for (qsizetype i = 0; i < chars.size() && i < 2; ++i)
                *fields[i] = chars.at(i);
            dev.setStatus(s);
        }
    });
}

template <typename Of820, typename Of840>
void DispenserSim::withModel(Of820 of820, Of840 of840) const {
    m_host->withDevice([&](Device &d) {
        if (m_model == DispenserModel::Kvr820)
            of820(static_cast<DispenserDevice820 &>(d));
        else
            of840(static_cast<DispenserDevice840 &>(d));
    });
}

DispenserMechanics DispenserSim::mechanics() const {
    DispenserMechanics m;
    withModel([&](auto &d) { m = d.mechanics(); }, [&](auto &d) { m = d.mechanics(); });
    return m;
}

void DispenserSim::setMechanics(const DispenserMechanics &mechanics) {
    withModel([&](auto &d) { d.setMechanics(mechanics); },
              [&](auto &d) { d.setMechanics(mechanics); });
}

int DispenserSim::stackerCards() const {
    int n = 0;
    withModel([&](auto &d) { n = d.stackerCards(); }, [&](auto &d) { n = d.stackerCards(); });
    return n;
}

void DispenserSim::setStackerCards(int cards) {
    withModel([&](auto &d) { d.setStackerCards(cards); },
              [&](auto &d) { d.setStackerCards(cards); });
}

int DispenserSim::binCards() const {
    int n = 0;
    withModel([&](DispenserDevice820 &d) { n = d.binCards(); }, [](DispenserDevice840 &) {});
    return n;
}

void DispenserSim::setBinCards(int cards) {
    withModel([&](DispenserDevice820 &d) { d.setBinCards(cards); }, [](DispenserDevice840 &) {});
}

bool DispenserSim::cardWaiting() const {
    bool waiting = false;
    withModel([&](DispenserDevice820 &d) { waiting = d.cardPosition() == '1'; },
              [&](DispenserDevice840 &d) { waiting = d.cardAtMouth(); });
    return waiting;
}

bool DispenserSim::takeCard() {
    bool taken = false;
    withModel([&](auto &d) { taken = d.takeCard(); }, [&](auto &d) { taken = d.takeCard(); });
    return taken;
}

void DispenserSim::injectFault(DispenserFault fault, int delayMs, const QByteArray &forCommand) {
    withModel([&](auto &d) { d.injectFault(fault, delayMs, forCommand); },
              [&](auto &d) { d.injectFault(fault, delayMs, forCommand); });
}

DispenserFault DispenserSim::pendingFault() const {
    DispenserFault f = DispenserFault::None;
    withModel([&](auto &d) { f = d.pendingFault(); }, [&](auto &d) { f = d.pendingFault(); });
    return f;
}

void DispenserSim::setTrafficListener(TrafficListener listener) {
    m_host->setTrafficListener(std::move(listener));
}

} // namespace talvex::sim
