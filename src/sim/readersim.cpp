#include "sim/readersim.h"

#include "sim/readerdevice.h"

namespace talvex::sim {
namespace {

ReaderDevice &reader(Device &d) {
    return static_cast<ReaderDevice &>(d);
}

} // namespace

ReaderSim::ReaderSim(ReaderModel model, int baud, Transport transport)
    : m_device(std::make_unique<ReaderDevice>(model)), m_host(createHost(transport)) {
    m_device->setBaud(baud);
    m_host->attach(m_device.get());
}

ReaderSim::~ReaderSim() {
    m_host->stop();
}

bool ReaderSim::start(QString *error) {
    return m_host->start(error);
}
void ReaderSim::stop() {
    m_host->stop();
}
bool ReaderSim::isRunning() const {
    return m_host->isRunning();
}
QString ReaderSim::slavePath() const {
    return m_host->slavePath();
}
void ReaderSim::mapToPort(int port) const {
    m_host->mapToPort(port);
}

ReaderModel ReaderSim::model() const {
    ReaderModel m{};
    m_host->withDevice([&](Device &d) { m = reader(d).model(); });
    return m;
}

void ReaderSim::setModel(ReaderModel model) {
    m_host->withDevice([&](Device &d) { reader(d).setModel(model); });
}

int ReaderSim::baud() const {
    int b = 0;
    m_host->withDevice([&](Device &d) { b = d.baud(); });
    return b;
}

void ReaderSim::setBaud(int baud) {
    m_host->withDevice([&](Device &d) { d.setBaud(baud); });
}

void ReaderSim::setWireTime(bool on) {
    m_host->withDevice([&](Device &d) { d.setWireTime(on); });
}

SimCard ReaderSim::card() const {
    SimCard c;
    m_host->withDevice([&](Device &d) { c = reader(d).card(); });
    return c;
}

void ReaderSim::setCard(const SimCard &card) {
    m_host->withDevice([&](Device &d) { reader(d).setCard(card); });
}

ReaderControlState ReaderSim::control() const {
    ReaderControlState state;
    m_host->withDevice([&](Device &d) { state = reader(d).control(); });
    return state;
}

void ReaderSim::setControl(const ReaderControlState &state) {
    m_host->withDevice([&](Device &d) { reader(d).control() = state; });
}

void ReaderSim::setSerialNumber(const QByteArray &serialNumber) {
    m_host->withDevice([&](Device &d) { reader(d).control().serialNumber = serialNumber; });
}

int ReaderSim::moveTimeMs() const {
    int ms = 0;
    m_host->withDevice([&](Device &d) { ms = reader(d).moveTimeMs(); });
    return ms;
}

void ReaderSim::setMoveTimeMs(int ms) {
    m_host->withDevice([&](Device &d) { reader(d).setMoveTimeMs(ms); });
}

SamSockets ReaderSim::sams() const {
    SamSockets s;
    m_host->withDevice([&](Device &d) { s = reader(d).sams(); });
    return s;
}

void ReaderSim::setSams(const SamSockets &sams) {
    m_host->withDevice([&](Device &d) { reader(d).sams() = sams; });
}

MagneticCard ReaderSim::nextMagneticCard() const {
    MagneticCard c;
    m_host->withDevice([&](Device &d) { c = reader(d).magneticHead().nextCard(); });
    return c;
}

void ReaderSim::setNextMagneticCard(const MagneticCard &card) {
    m_host->withDevice([&](Device &d) { reader(d).magneticHead().setNextCard(card); });
}

void ReaderSim::swipeCard() {
    m_host->withDevice([&](Device &d) { reader(d).magneticHead().requestSwipe(); });
}

void ReaderSim::setFeeder(bool on, int delayMs) {
    m_host->withDevice([&](Device &d) { reader(d).magneticHead().setFeeder(on, delayMs); });
}

bool ReaderSim::initiativeUploading() const {
    bool on = false;
    m_host->withDevice([&](Device &d) { on = reader(d).control().initiativeUpload(); });
    return on;
}

void ReaderSim::injectFault(const Fault &fault) {
    m_host->withDevice([&](Device &d) { reader(d).injectFault(fault); });
}

Fault ReaderSim::pendingFault() const {
    Fault f;
    m_host->withDevice([&](Device &d) { f = reader(d).pendingFault(); });
    return f;
}

bool ReaderSim::idle() const {
    bool idle = false;
    m_host->withDevice([&](Device &d) { idle = d.nextWakeUs() < 0; });
    return idle;
}

void ReaderSim::setTrafficListener(TrafficListener listener) {
    m_host->setTrafficListener(std::move(listener));
}

} // namespace talvex::sim
