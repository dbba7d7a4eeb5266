#include "sim/magneticcard.h"

#include "sim/readercommands.h"
#include "sim/readerdevice.h"

namespace talvex::sim {
namespace {

constexpr char kSeparator = 0x1F;

// Which tracks a track code asks for, as bits: track 1 bit 0 ... track 3 bit 2.
int requestedTracks(char trackCode) {
    switch (trackCode) {
    case '1':
        return 1;
    case '2':
        return 2;
    case '3':
        return 4;
    case '4':
        return 1 | 2;
    case '5':
        return 2 | 4;
    case '6':
        return 1 | 4;
    case '7':
        return 1 | 2 | 4;
    default:
        return 0;
    }
}

QByteArray trackSection(const MagneticTrack &track, char mode) {
    using Fault = MagneticTrack::Fault;
    if (track.fault == Fault::NotRead)
        return QByteArray(1, 'O');
    Fault fault = track.fault;
    if (fault == Fault::None && track.data.isEmpty())
        fault = Fault::Blank;
    if (fault != Fault::None)
        return QByteArray("N") + char(fault);
    return QByteArray("Y") + (mode == '1' ? track.data.toHex().toUpper() : track.data);
}

} // namespace

MagneticCard MagneticCard::testCard() {
    MagneticCard card;
    card.tracks[0].data = "%B4000001234567899^TALVEX/TEST CARD^2812101000000000000000?";
    card.tracks[1].data = ";4000001234567899=28121010000000000000?";
    card.tracks[2].data = ";011234567890123445=000978100000000000000000000000000000000000000?";
    return card;
}

qsizetype invalidTrackCharacter(int track, const QByteArray &data) {
    const quint8 low = track == 1 ? 0x20 : 0x30;
    const quint8 high = track == 1 ? 0x5F : 0x3F;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const quint8 c = quint8(data.at(i));
        if (c < low || c > high)
            return i;
    }
    return -1;
}

bool validReadParameters(char mode, char trackCode) {
    return (mode == '0' || mode == '1') && trackCode >= '0' && trackCode <= '7';
}

QByteArray magneticTrackSections(const MagneticCard *card, char mode, char trackCode) {
    static const MagneticCard noStripe = [] {
        MagneticCard blank;
        for (MagneticTrack &track : blank.tracks)
            track.fault = MagneticTrack::Fault::Blank;
        return blank;
    }();
    const MagneticCard &source = card ? *card : noStripe;
    const int wanted = requestedTracks(trackCode);
    QByteArray sections;
    for (int t = 0; t < 3; ++t) {
        if (t > 0)
            sections += kSeparator;
        sections +=
            (wanted & (1 << t)) ? trackSection(source.tracks[t], mode) : QByteArray(1, '\0');
    }
    return sections;
}

QByteArray magneticCommand(ReaderDevice &reader, const QByteArray &body) {
    QByteArray reply("P");
    reply += body.at(1);
    switch (body.at(1)) {
    case '0': {
        if (body.size() != 4 || !validReadParameters(body.at(2), body.at(3)))
            return negativeReply(body, errorcode::kParameterWrong);
        const std::optional<SimCard> card = reader.magneticHead().cardUnderHead(reader);
        if (!card)
            return reply + 'E';
        reply += 'Y';
        reply += body.mid(2, 2);
        reply += magneticTrackSections(card->kind == CardKind::Magnetic ? &card->magnetic : nullptr,
                                       body.at(2), body.at(3));
        return reply;
    }
    case '9':
        reader.magneticHead().clearSwipedCard();
        return reply + 'Y';
    default:
        return negativeReply(body, errorcode::kParameterWrong);
    }
}

} // namespace talvex::sim
