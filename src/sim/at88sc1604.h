#pragma once

#include <QByteArray>
#include <QList>

namespace talvex::sim {

// AT88SC1604: a security zone and four application zones (1195, 256, 256, 256
// bytes). Writing only clears bits; erasing sets a range back to FFh. Nine
// two-byte passwords, each with its own counter of eight attempts: the
// security code, then per zone its write password and its erase password.
struct At88sc1604Card {
    QList<QByteArray> zones;     // 0 security zone, 1-4 application zones
    QList<QByteArray> passwords; // 0 security code, 2z-1 zone z, 2z zone z erase
    QList<int> attemptsLeft;     // per password
    QList<bool> verified;        // per password, since the last reset
    quint8 fuse = 0;             // last mode byte taken by "Format", 0 before any

    static At88sc1604Card blank();
    static int zoneSize(int zone);
    bool operator==(const At88sc1604Card &) const = default;
};

class ReaderDevice;
// CM ";".
QByteArray at88sc1604Command(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
