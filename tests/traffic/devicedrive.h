#pragma once

// Runs one exchange against a simulated device as the program's links do,
// with the device driven directly as a state machine.

#include "link/journal.h"
#include "sim/bcc.h"
#include "sim/device.h"

namespace talvex::testing {

// The reader handshake: frame, ACK, ENQ, reply.
inline link::ExchangeRecord readerExchange(sim::Device &device, const QByteArray &frame,
                                           const QString &model = QStringLiteral("KVR-690")) {
    static qint64 now = 1'000'000;
    link::ExchangeRecord e;
    e.kind = link::LineKind::Reader;
    e.port = QStringLiteral("COM1");
    e.model = model;
    e.sent = frame;
    device.feed(frame, 0, now);
    now += 10'000;
    e.answer = device.takeOutput(now);
    if (e.answer == QByteArray(1, sim::kAck)) {
        device.feed(QByteArray(1, sim::kEnq), 0, now);
        now += 5'000'000; // past any card move
        e.reply = device.takeOutput(now);
    }
    now += 10'000'000;
    device.advance(now);
    return e;
}

// A dispenser command: the frame, the answer, and for the KVR-820 the ENQ
// after an ACK and the status reply that may follow it (returned in late).
inline link::ExchangeRecord dispenserExchange(sim::Device &device, link::LineKind kind,
                                              const QByteArray &frame, QByteArray *late = nullptr) {
    static qint64 now = 1'000'000;
    link::ExchangeRecord e;
    e.kind = kind;
    e.port = QStringLiteral("COM2");
    e.model = kind == link::LineKind::Dispenser820 ? QStringLiteral("KVR-820")
                                                   : QStringLiteral("KVR-840");
    e.sent = frame;
    device.feed(frame, 0, now);
    now += 100'000;
    e.answer = device.takeOutput(now);
    if (kind == link::LineKind::Dispenser820 && e.answer.startsWith(sim::kAck)) {
        device.feed(QByteArray(1, sim::kEnq), 0, now);
        now += 500'000;
        const QByteArray after = device.takeOutput(now);
        if (late)
            *late = after;
    }
    now += 10'000'000;
    device.advance(now);
    return e;
}

// STX text ETX BCC, with the address before the text for the KVR-840.
inline QByteArray dispenserFrame(const QByteArray &text) {
    QByteArray frame;
    frame += sim::kStx;
    frame += text;
    frame += sim::kEtx;
    frame += char(sim::xorOf(frame, 0, frame.size()));
    return frame;
}

} // namespace talvex::testing
