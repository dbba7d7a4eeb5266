#include "sim/contactcpucard.h"

#include "sim/apduresponder.h"
#include "sim/readercommands.h"
#include "sim/readerdevice.h"

namespace talvex::sim {
namespace {

constexpr quint8 kCommandDataWrong = 0x04;

// ISO/IEC 7816-3 answers to reset with the historical bytes given. T=0: TS,
// T0 with TB1 TC1, no TD1 and so no check byte. T=1: TD1 and TD2 announce
// T=1 with an IFSC of 254 and the block waiting times, and a check byte TCK
// closes the answer.
QByteArray atr(CardProtocol protocol, const QByteArray &history) {
    QByteArray out;
    out += '\x3B';
    if (protocol == CardProtocol::T0) {
        out += char(0x60 | history.size());
        out += QByteArray("\x00\x00", 2) + history;
        return out;
    }
    out += char(0xE0 | history.size());
    out += QByteArray("\x00\x00\x81\x31\xFE\x45", 6) + history;
    char tck = 0;
    for (qsizetype i = 1; i < out.size(); ++i)
        tck = char(tck ^ out.at(i));
    return out + tck;
}

QByteArray lengthBytes(qsizetype n) {
    QByteArray out;
    out += char((n >> 8) & 0xFF);
    out += char(n & 0xFF);
    return out;
}

} // namespace

bool atContacts(ReaderModel model, const SimCard &card) {
    if (card.place == CardPlace::IcPosition)
        return true;
    return card.place == CardPlace::Inside && model != ReaderModel::Kvr690;
}

namespace {

// The status of the slot card before anything reaches its chip.
char slotCardState(const ReaderDevice &reader) {
    const SimCard &card = reader.card();
    if (!card.present())
        return 'E';
    if (!atContacts(reader.model(), card))
        return 'W';
    return 0;
}

char protocolCode(CardProtocol protocol) {
    return protocol == CardProtocol::T0 ? '1' : '2';
}

// LH LL and the APDU of an APDU body from index `at` on; nothing when the
// length disagrees with what came.
std::optional<QByteArray> apduOf(const QByteArray &body, int at) {
    if (body.size() < at + 2)
        return std::nullopt;
    const int length = quint8(body.at(at)) * 256 + quint8(body.at(at + 1));
    if (length != body.size() - at - 2)
        return std::nullopt;
    return body.mid(at + 2);
}

// Reset: a chip that answers with its ATR, "Y" for T=0, "Z" for T=1.
QByteArray resetAnswer(ContactChip &chip, const QByteArray &atrBytes) {
    chip.active = true;
    const char status = chip.protocol == CardProtocol::T0 ? 'Y' : 'Z';
    return status + lengthBytes(atrBytes.size()) + atrBytes;
}

// An APDU the reader passes on only to an active chip in the protocol the
// program announced; anything else fails as the exchange with the card would.
QByteArray apduAnswer(const ContactChip &chip, char announced, const QByteArray &apdu) {
    if (!chip.active || announced != protocolCode(chip.protocol))
        return "N";
    const QByteArray response = ApduResponder().respond(apdu);
    return 'Y' + lengthBytes(response.size()) + response;
}

QByteArray positive(const QByteArray &body, const QByteArray &data) {
    return QByteArray("P") + body.at(1) + data;
}

} // namespace

SimCard contactCpuCard(CardProtocol protocol, CardPlace place) {
    SimCard card;
    card.kind = CardKind::ContactCpu;
    card.place = place;
    card.chip.protocol = protocol;
    card.typeCode = protocol == CardProtocol::T0 ? "10" : "11";
    return card;
}

bool hasContactIcModule(ReaderModel model) {
    return model == ReaderModel::Kvr527 || model == ReaderModel::Kvr634 ||
           model == ReaderModel::Kvr638 || model == ReaderModel::Kvr690;
}

QByteArray slotCardAtr(CardProtocol protocol) {
    return atr(protocol, "TALVEX CPU");
}

QByteArray samAtr(int socket, CardProtocol protocol) {
    return atr(protocol, "TALVEX SAM" + QByteArray::number(socket));
}

QByteArray slotPowerCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!hasContactIcModule(reader.model()))
        return negativeReply(body, errorcode::kUndefinedCommand);
    const char pm = body.at(1);
    if ((pm != '0' && pm != '1') || body.size() != 2)
        return negativeReply(body, errorcode::kParameterWrong);
    if (const char state = slotCardState(reader))
        return positive(body, QByteArray(1, state));
    SimCard card = reader.card();
    // Power on is a cold reset to a CPU card; other cards just get power.
    card.chip.active = pm == '0' && card.kind == CardKind::ContactCpu;
    reader.setCard(card);
    return positive(body, "Y");
}

QByteArray slotCpuCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!hasContactIcModule(reader.model()))
        return negativeReply(body, errorcode::kUndefinedCommand);
    const char pm = body.at(1);
    const bool cold = pm == '0' && body.size() == 3 && (body.at(2) == '0' || body.at(2) == '1');
    const bool warm = pm == '/' && body.size() == 2;
    const bool apdu = pm == '1' || pm == '2';
    if (!cold && !warm && !apdu)
        return negativeReply(body, errorcode::kParameterWrong);
    std::optional<QByteArray> command;
    if (apdu && !(command = apduOf(body, 2)))
        return negativeReply(body, kCommandDataWrong);

    if (const char state = slotCardState(reader))
        return positive(body, QByteArray(1, state));
    SimCard card = reader.card();
    if (card.kind != CardKind::ContactCpu)
        return positive(body, "N"); // no chip answers
    if (apdu)
        return positive(body, apduAnswer(card.chip, pm, *command));
    if (warm && !card.chip.active)
        return positive(body, "N");
    const QByteArray answer = resetAnswer(card.chip, slotCardAtr(card.chip.protocol));
    reader.setCard(card);
    return positive(body, answer);
}

QByteArray samCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!hasContactIcModule(reader.model()))
        return negativeReply(body, errorcode::kUndefinedCommand);
    if (body.size() < 3)
        return negativeReply(body, errorcode::kParameterWrong);
    const char pm = body.at(1);
    const bool reset =
        (pm == '0' || pm == '/') && body.size() == 4 && (body.at(3) == '0' || body.at(3) == '1');
    const bool apdu = pm == '1' || pm == '2';
    // Codes up to 3Dh name sockets 9 to 14 that this reader does not have.
    const int socket = quint8(body.at(2)) - 0x2F;
    if ((!reset && !apdu) || socket < 1 || socket > kSamSocketCount)
        return negativeReply(body, errorcode::kParameterWrong);
    std::optional<QByteArray> command;
    if (apdu && !(command = apduOf(body, 3)))
        return negativeReply(body, kCommandDataWrong);

    const QByteArray head = positive(body, body.mid(2, 1));
    SamSocket &sam = reader.sams()[std::size_t(socket - 1)];
    if (!sam.present)
        return head + 'N';
    if (apdu)
        return head + apduAnswer(sam.chip, pm, *command);
    return head + resetAnswer(sam.chip, samAtr(socket, sam.chip.protocol));
}

QByteArray samPowerCommand(ReaderDevice &reader, const QByteArray &body) {
    if (!hasContactIcModule(reader.model()))
        return negativeReply(body, errorcode::kUndefinedCommand);
    const char pm = body.at(1);
    if ((pm != '0' && pm != '1') || body.size() != 2)
        return negativeReply(body, errorcode::kParameterWrong);
    // Power on brings no answer to reset: the SAMs wait for their reset.
    for (SamSocket &sam : reader.sams())
        sam.chip.active = false;
    return positive(body, "Y");
}

} // namespace talvex::sim
