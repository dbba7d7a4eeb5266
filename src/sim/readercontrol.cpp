#include "sim/readercontrol.h"

#include "sim/readercommands.h"
#include "sim/readerdevice.h"

#include <initializer_list>
#include <optional>

namespace talvex::sim {
namespace {

using M = ReaderModel;

bool oneOf(M model, std::initializer_list<M> models) {
    for (M m : models) {
        if (m == model)
            return true;
    }
    return false;
}

bool motorised(M m) {
    return oneOf(m, {M::Kvr527, M::Kvr634, M::Kvr638, M::Kvr690});
}

bool oneOf(char c, const char *allowed) {
    for (; *allowed; ++allowed) {
        if (*allowed == c)
            return true;
    }
    return false;
}

QByteArray positive(const QByteArray &body, const QByteArray &data) {
    QByteArray reply("P");
    reply += body.at(1);
    reply += data;
    return reply;
}

QByteArray undefined(const QByteArray &body) {
    return negativeReply(body, errorcode::kUndefinedCommand);
}

QByteArray wrongParameter(const QByteArray &body) {
    return negativeReply(body, errorcode::kParameterWrong);
}

// The card sits in the transport, where the motor can reach it; at the front
// or rear side it is outside, waiting to be taken or pushed in.
bool inTransport(const SimCard &card) {
    return card.present() && card.place != CardPlace::Front && card.place != CardPlace::Rear;
}

// To nowhere: out of the reader at the rear, where the bin takes it.
void moveCard(ReaderDevice &reader, std::optional<CardPlace> to) {
    SimCard card = reader.card();
    if (!card.present() || (to && card.place == *to))
        return;
    if (to)
        card.place = *to;
    else
        card = SimCard{};
    reader.setCard(card);
    reader.spendMoveTime();
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
    case CardPlace::RfPosition:
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
    const ReaderControlState &state = reader.control();
    const bool front = card.present() && card.place == CardPlace::Front;
    switch (reader.model()) {
    case M::Kvr416:
    case M::Kvr527:
        return card.present() ? "Y" : "N";
    case M::Kvr523: {
        // Second byte: the state of the last read; nothing was read yet.
        QByteArray s(!card.present() ? "N" : front ? "Z" : "Y");
        return s + (card.present() ? "0" : "2");
    }
    case M::Kvr634: {
        QByteArray s(!card.present() ? "N" : front ? "O" : "Y");
        return s + (state.frontEntryAllowed() ? "Y" : "N");
    }
    case M::Kvr638:
    case M::Kvr690: {
        // The KVR-638 reports its rear entry too, though it has no rear slot
        // a user can feed.
        QByteArray s(1, cardByte638(card));
        s += state.frontEntry;
        s += state.rearEntry;
        return s;
    }
    }
    return "N";
}

// Sensors along the card path, "1" where the card covers one: PSS0 at the
// mouth to PSS5 at the rear.
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
        case CardPlace::RfPosition:
            pss = "011000";
            break;
        case CardPlace::Inside:
            pss = "011100";
            break;
        case CardPlace::LongCard:
            pss = "111110";
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
    if (reader.model() == M::Kvr638)
        return pss.left(4);
    pss += reader.control().frontEntryAllowed() ? '1' : '0'; // shutter open
    pss += (card.present() && card.place == CardPlace::Front) ? '1' : '0';
    return pss;
}

// Card type detection: the class and subtype of the card, or "N" with why not.
QByteArray cardType(ReaderDevice &reader) {
    const SimCard &card = reader.card();
    if (!inTransport(card))
        return "N0";
    // The KVR-690 reads a card only where its modules are; the others have the
    // contacts and the antenna where the card stops.
    if (reader.model() == M::Kvr690 && card.place != CardPlace::IcPosition &&
        card.place != CardPlace::RfPosition)
        return "N2";
    reader.spendMoveTime(); // contacts down, power, answer to reset
    return card.typeCode.size() == 2 ? card.typeCode : QByteArray("N1");
}

} // namespace

// CM "0": PM "0" reset keeping the card, "1" and eject to the front, "2" and
// eject to the rear; PM ":" reads the serial number.
QByteArray resetCommand(ReaderDevice &reader, const QByteArray &body) {
    const M model = reader.model();
    const char pm = body.at(1);
    if (pm == ':') {
        if (model == M::Kvr416)
            return undefined(body);
        const QByteArray sn = reader.control().serialNumber.left(255);
        return positive(body, "Y" + QByteArray(1, char(sn.size())) + sn);
    }
    const char *params = model == M::Kvr690 ? "012" : motorised(model) ? "01" : "0";
    if (!oneOf(pm, params))
        return wrongParameter(body);
    if (pm == '1')
        moveCard(reader, CardPlace::Front);
    else if (pm == '2')
        moveCard(reader, CardPlace::Rear);
    return positive(body, readerVersionText(model));
}

// CM "1": PM "0" status, "." sensors, "1" card type.
QByteArray statusCommand(ReaderDevice &reader, const QByteArray &body) {
    switch (body.at(1)) {
    case '0':
        return positive(body, cardStatus(reader));
    case '.':
        // Readers without a sensor report still take the query; the program
        // then shows the traffic and nothing else.
        if (oneOf(reader.model(), {M::Kvr638, M::Kvr690}))
            return positive(body, sensorStatus(reader));
        return positive(body, QByteArrayLiteral("Y"));
    case '1':
        return positive(body, cardType(reader));
    default:
        return wrongParameter(body);
    }
}

// CM "2": eject, and on the KVR-690 every move of the card.
QByteArray moveCommand(ReaderDevice &reader, const QByteArray &body) {
    const M model = reader.model();
    if (!motorised(model))
        return undefined(body);
    const char *params = model == M::Kvr690 ? "01./2357" : model == M::Kvr638 ? "01" : "0";
    const char pm = body.at(1);
    if (!oneOf(pm, params))
        return wrongParameter(body);

    const SimCard card = reader.card();
    if (pm == '7') // cleaning wants the reader empty; the cleaning card comes next
        return positive(body, card.present() ? "N" : "Y");
    if (!inTransport(card))
        return positive(body, "E");
    // A card longer than the transport cannot be brought to a module.
    if (card.place == CardPlace::LongCard && (pm == '.' || pm == '/'))
        return positive(body, "W");

    switch (pm) {
    case '0':
        moveCard(reader, CardPlace::Front);
        break;
    case '1':
        moveCard(reader, CardPlace::FrontHold);
        break;
    case '.':
        moveCard(reader, CardPlace::RfPosition);
        break;
    case '/':
        moveCard(reader, CardPlace::IcPosition);
        break;
    case '2':
        moveCard(reader, CardPlace::RearHold);
        break;
    case '3':
        moveCard(reader, CardPlace::Rear);
        break;
    case '5':
        moveCard(reader, std::nullopt);
        break;
    }
    return positive(body, "Y");
}

// CM "/": which cards may come in. KVR-634 "/" A; KVR-638 "/" F R; KVR-690
// "/" F R, whose answer carries the front byte before the result.
QByteArray entryCommand(ReaderDevice &reader, const QByteArray &body) {
    ReaderControlState &state = reader.control();
    const char pm = body.at(1);
    static const char kFront[] = {'N', 'I', 'J', 'K'}; // F = "1" … "4"
    switch (reader.model()) {
    case M::Kvr634:
        if (body.size() != 2)
            return negativeReply(body, errorcode::kCommandDataWrong);
        if (!oneOf(pm, "01"))
            return wrongParameter(body);
        state.frontEntry = pm == '0' ? 'J' : 'N';
        return positive(body, "Y");
    case M::Kvr638:
    case M::Kvr690: {
        const bool rear690 = reader.model() == M::Kvr690;
        if (body.size() != 3)
            return negativeReply(body, errorcode::kCommandDataWrong);
        if (!oneOf(pm, rear690 ? "1234" : "123") || !oneOf(body.at(2), "01"))
            return wrongParameter(body);
        state.frontEntry = kFront[pm - '1'];
        state.rearEntry = body.at(2) == '0' ? 'J' : 'N';
        // A card waiting at the mouth comes in once the reader takes it.
        if (state.frontEntryAllowed() && reader.card().present() &&
            reader.card().place == CardPlace::Front)
            moveCard(reader, CardPlace::Inside);
        return positive(body, rear690 ? QByteArray(1, body.at(2)) + 'Y' : QByteArray("Y"));
    }
    default:
        return undefined(body);
    }
}

// CM ".": where the card stops after an operation (KVR-690).
QByteArray stopPositionCommand(ReaderDevice &reader, const QByteArray &body) {
    if (reader.model() != M::Kvr690)
        return undefined(body);
    if (!oneOf(body.at(1), "012345"))
        return wrongParameter(body);
    reader.control().stopPosition = body.at(1);
    return positive(body, "Y");
}

// CM "4": the reader's own line speed. It answers at the old speed and
// listens at the new one from the next frame on.
QByteArray baudCommand(ReaderDevice &reader, const QByteArray &body) {
    int baud = 0;
    switch (body.at(1)) {
    case '3':
        baud = 9600;
        break;
    case '4':
        baud = 19200;
        break;
    case '5':
        baud = 38400;
        break;
    default:
        return wrongParameter(body);
    }
    reader.setBaudAfterReply(baud);
    return positive(body, "Y");
}

QByteArray shutterLightOrReadMethod(ReaderDevice &reader, const QByteArray &body) {
    ReaderControlState &state = reader.control();
    if (reader.model() == M::Kvr523) {
        // "F" "0" M U T R; the result follows the four settings, at byte 6.
        if (body.size() != 6)
            return negativeReply(body, errorcode::kCommandDataWrong);
        if (body.at(1) != '0' || !oneOf(body.at(2), "01") || !oneOf(body.at(3), "01") ||
            !oneOf(body.at(4), "01234567") || !oneOf(body.at(5), "01"))
            return wrongParameter(body);
        state.readMode = body.at(2);
        state.upload = body.at(3);
        state.trackCode = body.at(4);
        state.readWhilePulling = body.at(5);
        return positive(body, body.mid(2) + 'Y');
    }
    if (!oneOf(reader.model(), {M::Kvr638, M::Kvr690}))
        return undefined(body);
    if (body.size() != 2)
        return negativeReply(body, errorcode::kCommandDataWrong);
    if (!oneOf(body.at(1), "01"))
        return wrongParameter(body);
    state.lastLight = body;
    return positive(body, "Y");
}

// CM "I" ON OFF: the shutter light blinks; times in quarter seconds.
QByteArray glitterCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!oneOf(reader.model(), {M::Kvr638, M::Kvr690}))
        return undefined(body);
    if (body.size() != 3)
        return negativeReply(body, errorcode::kCommandDataWrong);
    reader.control().lastLight = body;
    return positive(body, "Y");
}

namespace {

bool hasColourLight(M model) {
    return model != M::Kvr416;
}

} // namespace

// CM 80h C A: the three-colour light, C "0" red, "1" blue, "2" orange; A "0"
// off, "1" on.
QByteArray colourLightCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!hasColourLight(reader.model()))
        return undefined(body);
    if (body.size() != 3)
        return negativeReply(body, errorcode::kCommandDataWrong);
    if (!oneOf(body.at(1), "012") || !oneOf(body.at(2), "01"))
        return wrongParameter(body);
    reader.control().lastLight = body;
    return positive(body, "Y");
}

// CM 81h C ON OFF: the three-colour light blinks.
QByteArray colourGlitterCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!hasColourLight(reader.model()))
        return undefined(body);
    if (body.size() != 4)
        return negativeReply(body, errorcode::kCommandDataWrong);
    if (!oneOf(body.at(1), "012"))
        return wrongParameter(body);
    reader.control().lastLight = body;
    return positive(body, "Y");
}

} // namespace talvex::sim
