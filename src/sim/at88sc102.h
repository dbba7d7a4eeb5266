#pragma once

#include <QByteArray>

namespace talvex::sim {

// AT88SC102: 196 bytes in one address space. Application zone 1 at 16h-55h
// with its six-byte erase key at 56h-5Bh, application zone 2 at 5Ch-9Bh with
// its four-byte erase key at 9Ch-9Fh; the rest is the security area with the
// security code at 0Ah-0Bh (four attempts). Writing only clears bits. Zone 2
// erases may be counted by EC2 (128 of them); once they are used up zone 2
// can only be read.
struct At88sc102Card {
    QByteArray memory; // 196 bytes
    int attemptsLeft = 4;
    bool verified = false;
    int ec2Left = 128;
    bool ec2Invalid = false; // "EC Invalid": zone 2 erases are no longer counted
    quint8 fuse = 0;

    static At88sc102Card blank();
    bool zone2ReadOnly() const { return ec2Left == 0 && !ec2Invalid; }
    bool operator==(const At88sc102Card &) const = default;
};

class ReaderDevice;
// CM ":".
QByteArray at88sc102Command(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
