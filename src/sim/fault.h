#pragma once

#include <QtGlobal>

namespace talvex::sim {

// A misbehaviour for the next exchange only; afterwards the device answers
// normally again.
struct Fault {
    enum class Kind {
        None,
        Silence,       // the frame is swallowed: no ACK, no reply
        Nak,           // NAK (15h) instead of ACK
        AckOnly,       // ACK, then nothing after ENQ
        HeaderOnly,    // after ENQ only STX, LH, LL
        TruncatedBody, // the header and half the body, no ETX/BCC
        WrongBcc,      // the full reply with a wrong BCC
        ExtraBytes,    // the full reply followed by stray bytes
        OverlongReply, // a well-formed reply longer than 1025 bytes
        Delay,         // wait delayMs before the ACK, then answer normally
        DelayReply,    // ACK at once, then wait delayMs after ENQ before the reply
        DelayRest,     // the reply's header at once, the rest delayMs later
        HangUp,        // the line goes away when the frame arrives
        NegativeReply, // "N", PM, errorCode instead of the normal reply
    };

    Kind kind = Kind::None;
    int delayMs = 0;      // Delay, DelayReply, DelayRest
    quint8 errorCode = 0; // NegativeReply

    static Fault none() { return {}; }
    static Fault of(Kind k) { return Fault{k, 0, 0}; }
    static Fault delay(int ms) { return Fault{Kind::Delay, ms, 0}; }
    static Fault delayReply(int ms) { return Fault{Kind::DelayReply, ms, 0}; }
    static Fault delayRest(int ms) { return Fault{Kind::DelayRest, ms, 0}; }
    static Fault negative(quint8 code) { return Fault{Kind::NegativeReply, 0, code}; }

    bool operator==(const Fault &) const = default;
};

} // namespace talvex::sim
