#pragma once

#include <QByteArray>

namespace talvex::sim {

// The application a simulated processor card (contactless or contact, or a
// SAM) runs: a handful of ISO/IEC 7816-4 commands, enough to try the APDU
// path of the program end to end.
//  - GET CHALLENGE (00 84 00 00 08): eight random bytes and 90 00;
//  - SELECT of the master file 3F00: its FCI and 90 00 (90 00 alone when P2
//    asks for no FCI);
//  - SELECT by name of the payment directory "1PAY.SYS.DDF01": its FCI and 90 00;
//  - anything else: 6D 00.
// A command too short for a header, or whose Lc disagrees with its length,
// gets 67 00.
class ApduResponder {
public:
    // Response data followed by SW1 SW2.
    QByteArray respond(const QByteArray &command) const;
};

} // namespace talvex::sim
