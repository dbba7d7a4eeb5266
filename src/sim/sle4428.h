#pragma once

#include <QByteArray>

namespace talvex::sim {

// SLE4428: 1 KB, each byte with a protection bit that makes it read-only for
// ever, and a two-byte PSC with an error counter of eight attempts. The last
// three bytes hold the counter (3FDh) and the PSC (3FEh, 3FFh).
struct Sle4428Card {
    QByteArray memory;          // 1024 bytes
    QByteArray protection;      // one byte per memory byte: 01h writable, 00h protected
    quint8 errorCounter = 0xFF; // one bit per attempt left
    bool verified = false;

    static Sle4428Card blank();
    QByteArray psc() const { return memory.right(2); }
    int attemptsLeft() const;
    bool operator==(const Sle4428Card &) const = default;
};

class ReaderDevice;
// CM "9".
QByteArray sle4428Command(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
