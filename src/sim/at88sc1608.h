#pragma once

#include <QByteArray>
#include <QList>

namespace talvex::sim {

// AT88SC1608: eight user zones of 256 bytes and a configuration zone of 128
// bytes; per user zone a read and a write password of three bytes, each with a
// counter of eight attempts; the fuses FAB, CMA and PER, blown in that order;
// and a mutual authentication over eight-byte values.
//
// As the cards are personalised here: zone 1 is open; zones 2-8 take writes
// only after their write password; zone 8 also takes reads only after one of
// its passwords; the configuration zone takes writes after zone 8's write
// password (the secure code) until PER is blown.
struct At88sc1608Card {
    QList<QByteArray> zones;     // 8 x 256 bytes
    QByteArray configuration;    // 128 bytes; the authentication secret at 60h-67h
    QList<QByteArray> passwords; // 0-7 read passwords, 8-15 write passwords of zones 1-8
    QList<int> attemptsLeft;
    QList<bool> verified;
    QList<bool> fuses;    // FAB, CMA, PER: true when blown
    QByteArray challenge; // the host's random number of the authentication under way
    bool authenticated = false;

    static At88sc1608Card blank();
    bool operator==(const At88sc1608Card &) const = default;
};

class ReaderDevice;
// CM ">".
QByteArray at88sc1608Command(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
