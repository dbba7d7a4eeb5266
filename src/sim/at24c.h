#pragma once

#include <QByteArray>

namespace talvex::sim {

// AT24C01 ... AT24C64 serial EEPROMs: plain bytes, no protection. The reader
// cannot see the size of the chip; it addresses it as the type it is told.
struct At24cCard {
    int type = 0;      // 0 AT24C01 ... 6 AT24C64
    QByteArray memory; // sized for the type

    static At24cCard blank(int type);
    // 128, 256, 512, 1024, 2048, 4096, 8192 bytes.
    static int sizeOf(int type);
    bool operator==(const At24cCard &) const = default;
};

class ReaderDevice;
// CM "6"; the type code t is 30h (24C01) ... 36h (24C64).
QByteArray at24cCommand(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
