#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace talvex::magnetic {

// Status bytes that open each track's section of a read reply.
constexpr quint8 kTrackRead = 'Y';
constexpr quint8 kTrackError = 'N';
constexpr quint8 kTrackNotRead = 'O';
constexpr quint8 kTrackNoOperation = 0x00;
constexpr char kTrackSeparator = 0x1F;

// One track's section of a read reply: its status byte and the bytes after it.
struct TrackSection {
    quint8 status = kTrackNoOperation;
    QByteArray data;

    // The error code of an "N" section; 0 when the section carries none.
    quint8 errorCode() const { return data.isEmpty() ? 0 : quint8(data.at(0)); }
};
using TrackSections = std::array<TrackSection, 3>;

// The track code byte sent with a read: "0" for none, "1" to "7" for the
// combinations of tracks 1, 2 and 3.
char trackCode(bool track1, bool track2, bool track3);

// Splits a read reply (body, ETX and BCC as the exchange returns it; length
// counts them all) into the three track sections. Bytes 0-4 are the reader's
// own; track 1 starts at byte 5 and sections are separated by 1Fh. A reply
// without separators yields sections taken from byte 1, as the reader window
// always did. Returns false, and nothing, for a reply of 5 bytes or less.
bool parseTrackReply(const QByteArray &reply, int length, TrackSections &sections);

// The detail line of an "N" section's error code; empty for a code outside E1h-E5h.
QString trackErrorDetail(quint8 code);
// Which of the five error-type counters (STX, ETX, Parity, LRC, BLANK) a code
// counts in; -1 for a code outside E1h-E5h.
int trackErrorTypeIndex(quint8 code);

// The text a track box shows for a section: the data (or its bit digits in BIN
// form) for "Y", the two-line explanation for "N", "O" and 00h, with lines
// separated by CR LF. Returns false for any other status: the box keeps its text.
bool trackDisplayText(const TrackSection &section, bool binForm, QString &text);

// Error count x 10000 / read count / 100, in the default decimal form: at most
// 15 significant digits, nothing rounded to fewer ("33.3333333333333", "50").
QString errorRateText(qint64 errors, qint64 reads);

} // namespace talvex::magnetic
