#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace talvex::link {

constexpr quint8 STX = 0x02;
constexpr quint8 ETX = 0x03;
constexpr quint8 ENQ = 0x05;
constexpr quint8 ACK = 0x06;
constexpr quint8 NAK = 0x15;

// XOR of every byte of the frame except the last one, which is the BCC's own place.
quint8 ReaderBcc(const QByteArray &frame);

// The check of a received reply: STX, LH, LL and every byte of rest but the
// last, XORed, must equal the last. STX and ETX are not compared with their
// usual values; a rest too short to hold a BCC never matches.
bool replyBccMatches(const QByteArray &header, const QByteArray &rest);

// STX, LH, LL, body, ETX, BCC: the reader frame around a command body.
QByteArray buildReaderFrame(const QByteArray &body);

// One byte as two upper-case hexadecimal digits ("0A").
QString byteText(quint8 byte);
// Bytes as the traffic log writes them: each byte's two digits and one blank.
QString bytesText(const QByteArray &bytes);

// "" -> "00", "A" -> "0A", "AB" -> "AB", longer -> "".
QString HexPad2(const QString &text);
// "3F" -> "00111111"; characters other than 0-9 and A-F are skipped.
QString HexToBits(const QString &text);

// The value of one hexadecimal digit, either case; -1 for any other character.
int hexDigitValue(QChar c);

// One byte typed in a box or cell: one or two hexadecimal digits and nothing
// else (no sign, blank or "0x"). Nothing when the text is not such a byte.
std::optional<quint8> hexByteText(const QString &text);

// Typed hex to bytes: byte i comes from the two characters at 3i, the character
// after each pair is a separator and is not examined. Returns nothing when a
// pair is not a hexadecimal number (the caller reports it).
std::optional<QByteArray> parseTypedHex(const QString &text, int byteCount);

} // namespace talvex::link
