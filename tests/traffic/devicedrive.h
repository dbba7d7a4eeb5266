#pragma once

// Runs one exchange against a simulated device as the program's links do,
// with the device driven directly as a state machine.

#include "link/journal.h"
#include "sim/bcc.h"
#include "sim/device.h"

namespace talvex::testing {

// Feeds frame and returns what came within answerUs; after an ACK, when
// afterEnq is given, feeds ENQ and puts there what came within enqUs.
inline QByteArray drive(sim::Device &device, const QByteArray &frame, qint64 answerUs, qint64 enqUs,
                        QByteArray *afterEnq) {
    static qint64 now = 1'000'000;
    device.feed(frame, 0, now);
    now += answerUs;
    const QByteArray answer = device.takeOutput(now);
    if (afterEnq && answer.startsWith(sim::kAck)) {
        device.feed(QByteArray(1, sim::kEnq), 0, now);
        now += enqUs;
        *afterEnq = device.takeOutput(now);
    }
    now += 10'000'000;
    device.advance(now);
    return answer;
}

// The reader handshake: frame, ACK, ENQ, reply.
inline link::ExchangeRecord readerExchange(sim::Device &device, const QByteArray &frame,
                                           const QString &model = QStringLiteral("KVR-690")) {
    link::ExchangeRecord e;
    e.kind = link::LineKind::Reader;
    e.port = QStringLiteral("COM1");
    e.model = model;
    e.sent = frame;
    e.answer = drive(device, frame, 10'000, 5'000'000 /* past any card move */, &e.reply);
    return e;
}

// A dispenser command: STX text ETX BCC (the KVR-840's text starting with its
// address), the answer, and for the KVR-820 the ENQ after an ACK and the
// status reply that may follow it (returned in late).
inline link::ExchangeRecord dispenserExchange(sim::Device &device, link::LineKind kind,
                                              const QByteArray &text, QByteArray *late = nullptr) {
    link::ExchangeRecord e;
    e.kind = kind;
    e.port = QStringLiteral("COM2");
    e.model = kind == link::LineKind::Dispenser820 ? QStringLiteral("KVR-820")
                                                   : QStringLiteral("KVR-840");
    e.sent = sim::kStx + text + sim::kEtx;
    e.sent += char(sim::xorOf(e.sent, 0, e.sent.size()));
    QByteArray after;
    e.answer = drive(device, e.sent, 100'000, 500'000,
                     kind == link::LineKind::Dispenser820 ? &after : nullptr);
    if (late)
        *late = after;
    return e;
}

} // namespace talvex::testing
