#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <memory>

namespace talvex::link {
class SerialComm;
}

namespace talvex::run {

// What one dispenser command came back with.
struct DispenserReply {
    QString word;      // "OK", "ERROR", "ERROR1"
    QByteArray status; // the status characters of a status query, when valid
    QStringList texts; // their decoding, as the window lists it
    int portError = 0; // the run-time error number the link reported, if any
};

// The dispenser links of the window, reached from a script. The only place
// that calls them, so that the way they are awaited changes here alone.
class DispenserAdapter {
public:
    DispenserAdapter(link::SerialComm &port, bool is840, QByteArray address);
    ~DispenserAdapter();

    // A command text ("DC", "FC0", "CP", "RS"); the KVR-840 puts its address first.
    QCoro::Task<DispenserReply> command(QByteArray text);
    // "AP" and its status reply, decoded.
    QCoro::Task<DispenserReply> status();

    QString trafficLog() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace talvex::run
