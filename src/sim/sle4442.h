#pragma once

#include <QByteArray>

namespace talvex::sim {

// SLE4442: 256 bytes of main memory, of which the first 32 can be made
// read-only for ever through the protection memory, and a three-byte PSC
// guarded by an error counter of three attempts.
struct Sle4442Card {
    QByteArray main;       // 256 bytes
    QByteArray protection; // one byte per main-memory byte 00h-1Fh: 01h writable, 00h protected
    QByteArray psc;        // 3 bytes
    quint8 errorCounter = 0x07; // one bit per attempt left
    bool verified = false;      // PSC presented since the last reset

    static Sle4442Card blank();
    int attemptsLeft() const;
    bool operator==(const Sle4442Card &) const = default;
};

class ReaderDevice;
// CM "8".
QByteArray sle4442Command(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
