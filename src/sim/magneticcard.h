#pragma once

#include <QByteArray>
#include <QString>
#include <array>

namespace talvex::sim {

class ReaderDevice;

// One track of a magnetic stripe as the reader's head sees it: the characters
// between and including the start and end sentinels, and what goes wrong when
// the track is read.
struct MagneticTrack {
    enum class Fault : quint8 {
        None = 0,
        NoStart = 0xE1, // no start sentinel found
        NoEnd = 0xE2,   // no end sentinel found
        Parity = 0xE3,  // a character's parity bit is wrong
        Lrc = 0xE4,     // the longitudinal check does not match
        Blank = 0xE5,   // nothing recorded on the track
        NotRead = 'O',  // the reader did not read this track
    };

    QByteArray data;
    Fault fault = Fault::None;

    bool operator==(const MagneticTrack &) const = default;
};

struct MagneticCard {
    std::array<MagneticTrack, 3> tracks;

    // Test data of the usual layout: track 1 alphanumeric (IATA), tracks 2
    // and 3 numeric (ABA, THRIFT), each with its sentinels.
    static MagneticCard testCard();
    bool operator==(const MagneticCard &) const = default;
};

// The characters a track can carry: track 1 the 6-bit set 20h-5Fh, tracks 2
// and 3 the 4-bit set 30h-3Fh. Returns the first position that breaks it, or -1.
qsizetype invalidTrackCharacter(int track, const QByteArray &data);

// The track sections of a read, from reply byte 5 on: for each track its status
// and bytes, separated by 1Fh. mode "0" sends the characters, "1" their codes
// as hex text; the track code ("0"-"7") says which tracks to read, the others
// report 00h. A card without a stripe reads as blank.
QByteArray magneticTrackSections(const MagneticCard *card, char mode, char trackCode);

// Whether a mode and a track code are ones the reader knows.
bool validReadParameters(char mode, char trackCode);

// CM "E": PM "0" reads the card (the card inside, or on a swipe reader the last
// card swiped), PM "9" clears the swiped data.
QByteArray magneticCommand(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
