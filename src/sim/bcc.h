#pragma once

#include <QByteArray>

namespace talvex::sim {

// XOR of bytes [from, to): the block check of both the reader and the
// dispenser frames. Shared by the devices of this folder only.
inline quint8 xorOf(const QByteArray &bytes, qsizetype from, qsizetype to) {
    quint8 x = 0;
    for (qsizetype i = from; i < to; ++i)
        x ^= static_cast<quint8>(bytes.at(i));
    return x;
}

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;

} // namespace talvex::sim
