#pragma once

#include "sim/devicehost.h"
#include "sim/fault.h"
#include "sim/readercontrol.h"
#include "sim/readermodel.h"
#include "sim/simcard.h"

#include <QString>
#include <memory>

namespace talvex::sim {

class ReaderDevice;

// A simulated reader on a line of its own: what the demo window and the
// talvex-sim tool use. Every call is thread-safe; the reader itself runs on
// its host's thread.
class ReaderSim {
public:
    explicit ReaderSim(ReaderModel model = ReaderModel::Kvr690, int baud = 9600,
                       Transport transport = Transport::Pty);
    ~ReaderSim();
    ReaderSim(const ReaderSim &) = delete;
    ReaderSim &operator=(const ReaderSim &) = delete;

    // Opens a new line (after a hang-up or stop a pty path may differ). False
    // with a reason when none can be opened.
    bool start(QString *error = nullptr);
    void stop();
    // False before start, after stop and after a hang-up fault.
    bool isRunning() const;
    // The device the program opens, e.g. "/dev/pts/5", or "loopback" for an
    // in-process line; empty while not running.
    QString slavePath() const;
    // Puts the line behind the program's port number whatever the transport;
    // call again after each start().
    void mapToPort(int port) const;

    ReaderModel model() const;
    // The reader restarts as the new model on the same line and path: a port
    // the program holds open stays usable, and the next detection sees the
    // new model.
    void setModel(ReaderModel model);

    int baud() const;
    // Takes effect at once; frames sent at another speed are then ignored.
    void setBaud(int baud);
    void setWireTime(bool on);

    SimCard card() const;
    void setCard(const SimCard &card);

    // Entry, stop position, serial number and reading method as the reader
    // holds them now.
    ReaderControlState control() const;
    void setControl(const ReaderControlState &state);
    void setSerialNumber(const QByteArray &serialNumber);
    // How long each card move takes before its reply (default 300 ms).
    int moveTimeMs() const;
    void setMoveTimeMs(int ms);
    // The card a swipe, an insertion by hand or the feeder brings; a swipe
    // (a swipe reader) or an insertion (a motorised one) of it; the feeder.
    MagneticCard nextMagneticCard() const;
    void setNextMagneticCard(const MagneticCard &card);
    void swipeCard();
    void setFeeder(bool on, int delayMs);
    bool initiativeUploading() const;

    SamSockets sams() const;
    void setSams(const SamSockets &sams);

    // For the next exchange only.
    void injectFault(const Fault &fault);
    Fault pendingFault() const;
    // Nothing left to act on and nothing still to send: an answer held back
    // by a fault has gone out.
    bool idle() const;

    void setTrafficListener(TrafficListener listener);

private:
    std::unique_ptr<ReaderDevice> m_device;
    std::unique_ptr<DeviceHost> m_host;
};

} // namespace talvex::sim
