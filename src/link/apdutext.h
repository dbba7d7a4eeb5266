#pragma once

#include <QByteArray>
#include <QString>

namespace talvex::link {

// The command text of an APDU box (contact and contactless CPU cards, SAMs):
// two hexadecimal characters a byte, no separators; blanks around the digits
// of a pair do not count.
struct ApduText {
    enum class Fault { None, Empty, OddLength, NotHex, TooLong };
    Fault fault = Fault::None;
    QByteArray apdu;
};
// maxBytes: what the frame's one-byte length leaves for the APDU.
ApduText parseApduText(const QString &text, int maxBytes);
// The caution text of a fault; empty for None.
QString apduFaultText(ApduText::Fault fault);

// LH LL, high byte first, of an APDU of m bytes.
QByteArray apduLength(int m);

} // namespace talvex::link
