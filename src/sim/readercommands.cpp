#include "sim/readercommands.h"

#include "sim/readerdevice.h"

#include <array>
#include <utility>

namespace talvex::sim {
namespace {

bool motorised(ReaderModel m) {
    return m == ReaderModel::Kvr527 || m == ReaderModel::Kvr634 || m == ReaderModel::Kvr638 ||
           m == ReaderModel::Kvr690;
}

QByteArray positiveReply(const QByteArray &body, const QByteArray &data) {
    QByteArray reply("P");
    reply += body.at(1);
    reply += data;
    return reply;
}

// CM "0": reset. PM "0" keeps the card, "1" ejects it to the front, "2" to the
// rear (out of reach, so the reader is empty afterwards).
QByteArray reset(ReaderDevice &reader, const QByteArray &body) {
    const char pm = body.at(1);
    if (pm != '0' && pm != '1' && pm != '2')
        return negativeReply(body, errorcode::kParameterWrong);
    if (motorised(reader.model()) && reader.card().present()) {
        SimCard card = reader.card();
        if (pm == '1') {
            card.place = CardPlace::Front;
        } else if (pm == '2') {
            card = SimCard{};
        }
        reader.setCard(card);
    }
    return positiveReply(body, readerVersionText(reader.model()));
}

char cardByte638(const SimCard &card) {
    if (!card.present())
        return 'N';
    switch (card.place) {
    case CardPlace::LongCard:
        return 'F';
    case CardPlace::Front:
        return 'H';
    case CardPlace::FrontHold:
        return 'I';
    case CardPlace::Inside:
        return 'J';
    case CardPlace::IcPosition:
        return 'K';
    case CardPlace::RearHold:
        return 'L';
    case CardPlace::Rear:
        return 'M';
    }
    return 'J';
}

QByteArray cardStatus(const ReaderDevice &reader) {
    const SimCard &card = reader.card();
    const bool front = card.present() && card.place == CardPlace::Front;
    switch (reader.model()) {
    case ReaderModel::Kvr416:
    case ReaderModel::Kvr527:
        return card.present() ? "Y" : "N";
    case ReaderModel::Kvr523: {
        // Second byte: the state of the last read; nothing was read yet.
        QByteArray s(!card.present() ? "N" : front ? "Z" : "Y");
        return s + (card.present() ? "0" : "2");
    }
    case ReaderModel::Kvr634: {
        QByteArray s(!card.present() ? "N" : front ? "O" : "Y");
        return s + (reader.frontEntryAllowed() ? "Y" : "N");
    }
    case ReaderModel::Kvr638:
    case ReaderModel::Kvr690: {
        QByteArray s(1, cardByte638(card));
        s += reader.frontEntryAllowed() ? 'J' : 'N';
        if (reader.model() == ReaderModel::Kvr690)
            s += reader.rearEntryAllowed() ? 'J' : 'N';
        return s;
    }
    }
    return "N";
}

// Sensors along the card path, "1" where the card covers one.
QByteArray sensorStatus(const ReaderDevice &reader) {
    const SimCard &card = reader.card();
    QByteArray pss("000000");
    if (card.present()) {
        switch (card.place) {
        case CardPlace::Front:
            pss = "100000";
            break;
        case CardPlace::FrontHold:
            pss = "110000";
            break;
        case CardPlace::Inside:
        case CardPlace::LongCard:
            pss = "011100";
            break;
        case CardPlace::IcPosition:
            pss = "001110";
            break;
        case CardPlace::RearHold:
            pss = "000011";
            break;
        case CardPlace::Rear:
            pss = "000001";
            break;
        }
    }
    if (reader.model() == ReaderModel::Kvr638)
        return pss.left(4);
    pss += reader.frontEntryAllowed() ? '1' : '0'; // shutter open
    pss += (card.present() && card.place == CardPlace::Front) ? '1' : '0';
    return pss;
}

// CM "1": PM "0" status, PM "." sensors (only the models that have them).
QByteArray status(ReaderDevice &reader, const QByteArray &body) {
    switch (body.at(1)) {
    case '0':
        return positiveReply(body, cardStatus(reader));
    case '.':
        // Readers without a sensor report still take the query; the program
        // then shows the traffic and nothing else.
        if (reader.model() == ReaderModel::Kvr638 || reader.model() == ReaderModel::Kvr690)
            return positiveReply(body, sensorStatus(reader));
        return positiveReply(body, QByteArrayLiteral("Y"));
    default:
        return negativeReply(body, errorcode::kParameterWrong);
    }
}

constexpr std::array<std::pair<char, ReaderCommand>, 2> kCommands{{
    {'0', &reset},
    {'1', &status},
}};

} // namespace

ReaderCommand findReaderCommand(char cm) {
    for (const auto &[code, fn] : kCommands) {
        if (code == cm)
            return fn;
    }
    return nullptr;
}

QByteArray negativeReply(const QByteArray &body, quint8 code) {
    QByteArray reply("N");
    reply += body.size() > 1 ? body.at(1) : '0';
    reply += char(code);
    return reply;
}

} // namespace talvex::sim
