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

// STX, LH, LL, body, ETX, BCC: the reader frame around a reply body.
inline QByteArray readerFrame(const QByteArray &body) {
    QByteArray frame;
    frame.reserve(body.size() + 5);
    frame += kStx;
    frame += static_cast<char>((body.size() >> 8) & 0xFF);
    frame += static_cast<char>(body.size() & 0xFF);
    frame += body;
    frame += kEtx;
    frame += static_cast<char>(xorOf(frame, 0, frame.size()));
    return frame;
}

} // namespace talvex::sim
