#include "sim/contactlesscard.h"

#include "sim/apduresponder.h"
#include "sim/readercommands.h"
#include "sim/readerdevice.h"

#include <array>

namespace talvex::sim {
namespace {

constexpr int kBlockSize = 16;
constexpr int kPageSize = 4;
constexpr int kUltralightPages = 16;
constexpr int kKeySize = 6;

// Status bytes of the contactless module.
constexpr char kDone = 'Y';
constexpr char kFailed = 'N';
constexpr char kNoCard = 'E';
constexpr char kNotInPlace = 'W';
constexpr char kNoRfCard = '0';
constexpr char kWrongSector = '1';
constexpr char kKeyError = '3';
constexpr char kWrongBlock = '4'; // also: a read that failed, a block not in value format
constexpr char kOverflow = '5';

const QByteArray kTransportKey = QByteArray::fromHex("FFFFFFFFFFFF");
const QByteArray kTransportAccess = QByteArray::fromHex("FF078069");

const QByteArray kS50Uid = QByteArray::fromHex("8E3F21C4");
const QByteArray kS70Uid = QByteArray::fromHex("5A179CE2");
const QByteArray kUltralightUid = QByteArray::fromHex("046F2A1B3C8081");
const QByteArray kCpuTypeAUid = QByteArray::fromHex("084D1C77");
const QByteArray kCpuTypeBPupi = QByteArray::fromHex("1A2B3C4D");
// TL T0 TA TB TC and one historical byte.
const QByteArray kCpuTypeAAts = QByteArray::fromHex("067577810280");
// 50h, PUPI, application data, protocol info.
const QByteArray kCpuTypeBAtqbTail = QByteArray::fromHex("00000000007185");

quint8 xorBytes(const QByteArray &bytes) {
    quint8 x = 0;
    for (char b : bytes)
        x ^= quint8(b);
    return x;
}

QByteArray complement(const QByteArray &bytes) {
    QByteArray out = bytes;
    for (char &b : out)
        b = char(~quint8(b));
    return out;
}

// Block 0: serial number, its check byte, SAK, ATQA and the maker's data.
QByteArray manufacturerBlock(const QByteArray &uid, quint8 sak, const QByteArray &atqa) {
    QByteArray block = uid;
    block += char(xorBytes(uid));
    block += char(sak);
    block += atqa;
    block += QByteArray::fromHex("6263646566676869");
    return block;
}

QByteArray sectorMemory(int blocks, const ContactlessCard &card) {
    QByteArray memory(blocks * kBlockSize, '\0');
    const QByteArray trailer = kTransportKey + kTransportAccess + kTransportKey;
    for (int sector = 0; sector < card.sectorCount(); ++sector) {
        const int last = card.blockNumber(sector, sector < 32 ? 3 : 15);
        memory.replace(last * kBlockSize, kBlockSize, trailer);
    }
    return memory;
}

// Pages 0 and 1: the serial number with its two check bytes (cascade tag 88h
// in the first); page 2: check byte, internal byte, lock bytes; page 3: the
// one-time-programmable page.
QByteArray ultralightMemory(const QByteArray &uid) {
    QByteArray memory(kUltralightPages * kPageSize, '\0');
    QByteArray head = uid.left(3);
    head += char(0x88 ^ xorBytes(uid.left(3)));
    head += uid.mid(3, 4);
    head += char(xorBytes(uid.mid(3, 4)));
    head += char(0x48);
    memory.replace(0, head.size(), head);
    return memory;
}

// Four bytes, least significant first.
quint32 littleEndianValue(const QByteArray &bytes) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(i));
    return value;
}

// A value block holds V, ~V, V (least significant byte first) and the
// address byte as A, ~A, A, ~A.
bool valueOf(const QByteArray &block, quint32 &value) {
    const QByteArray v = block.left(4);
    if (block.mid(4, 4) != complement(v) || block.mid(8, 4) != v)
        return false;
    const quint8 a = quint8(block.at(12));
    if (quint8(block.at(13)) != quint8(~a) || quint8(block.at(14)) != a ||
        quint8(block.at(15)) != quint8(~a))
        return false;
    value = littleEndianValue(v);
    return true;
}

QByteArray valueBytes(quint32 value) {
    QByteArray v(4, '\0');
    for (int i = 0; i < 4; ++i)
        v[i] = char((value >> (8 * i)) & 0xFF);
    return v;
}

// What one command sees: the card in the field (nullptr when the reader holds
// no contactless card, or holds it where the antenna does not reach), and the
// body.
struct Request {
    const SimCard &held;
    ContactlessCard *card;
    bool outOfReach; // a contactless card half out of the reader
    const QByteArray &body;
    int sector() const { return quint8(body.at(2)); }
    int block() const { return quint8(body.at(3)); }
};

// The reply data after "P" and PM: the echoed parameter bytes, the status and
// what follows it.
QByteArray answer(const Request &r, int echoed, char status, const QByteArray &data = {}) {
    return r.body.mid(2, echoed) + status + data;
}

// The checks that come before every sector operation, in the module's order.
// Returns the status that ends the operation, or 0 to go on.
char sectorCheck(const Request &r, bool needsOpenSector) {
    if (!r.held.present())
        return kNoCard;
    if (r.outOfReach)
        return kNotInPlace;
    if (!r.card || !r.card->isMemoryCard())
        return kNoRfCard;
    if (r.sector() >= r.card->sectorCount())
        return kWrongSector;
    if (needsOpenSector && r.card->openSector != r.sector())
        return kKeyError;
    return 0;
}

QByteArray findCard(const Request &r) {
    if (!r.held.present())
        return answer(r, 0, kNoCard);
    if (!r.card)
        return answer(r, 0, kFailed);
    // Selecting the card anew closes whatever a key check had opened.
    r.card->openSector = -1;
    r.card->activated = false;
    return answer(r, 0, kDone);
}

QByteArray serialNumber(const Request &r) {
    if (!r.held.present())
        return answer(r, 0, kNoCard);
    if (!r.card || !r.card->isTypeA())
        return answer(r, 0, kFailed);
    return answer(r, 0, kDone, r.card->uid);
}

QByteArray ultralightSerialNumber(const Request &r) {
    if (!r.held.present())
        return answer(r, 0, kNoCard);
    if (!r.card || r.card->chip != RfChip::Ultralight)
        return answer(r, 0, kFailed);
    return answer(r, 0, kDone, r.card->uid);
}

QByteArray checkKey(const Request &r) {
    if (const char stop = sectorCheck(r, false))
        return answer(r, 1, stop);
    const int trailer = r.card->blockNumber(r.sector(), r.sector() < 32 ? 3 : 15);
    const int keyAt = trailer * kBlockSize + (r.body.at(1) == '2' ? 0 : 10);
    if (r.card->memory.mid(keyAt, kKeySize) != r.body.mid(3, kKeySize)) {
        r.card->openSector = -1;
        return answer(r, 1, kKeyError);
    }
    r.card->openSector = r.sector();
    return answer(r, 1, kDone);
}

QByteArray readBlock(const Request &r) {
    if (const char stop = sectorCheck(r, true))
        return answer(r, 2, stop);
    const int n = r.card->blockNumber(r.sector(), r.block());
    if (n < 0)
        return answer(r, 2, kWrongBlock);
    QByteArray data = r.card->memory.mid(n * kBlockSize, kBlockSize);
    // Key A never reads back.
    if (ContactlessCard::isTrailer(r.sector(), r.block()))
        data.replace(0, kKeySize, QByteArray(kKeySize, '\0'));
    return answer(r, 2, kDone, data);
}

QByteArray writeBlock(const Request &r) {
    if (const char stop = sectorCheck(r, true))
        return answer(r, 2, stop);
    const int n = r.card->blockNumber(r.sector(), r.block());
    if (n <= 0) // block 0 is the maker's, read-only
        return answer(r, 2, kWrongBlock);
    r.card->memory.replace(n * kBlockSize, kBlockSize, r.body.mid(4, kBlockSize));
    return answer(r, 2, kDone);
}

QByteArray changeKey(const Request &r) {
    if (const char stop = sectorCheck(r, true))
        return answer(r, 1, stop);
    const int trailer = r.card->blockNumber(r.sector(), r.sector() < 32 ? 3 : 15);
    r.card->memory.replace(trailer * kBlockSize, kKeySize, r.body.mid(3, kKeySize));
    return answer(r, 1, kDone);
}

QByteArray changeValue(const Request &r) {
    if (const char stop = sectorCheck(r, true))
        return answer(r, 2, stop);
    const int n = r.card->blockNumber(r.sector(), r.block());
    quint32 value = 0;
    if (n <= 0 || ContactlessCard::isTrailer(r.sector(), r.block()) ||
        !valueOf(r.card->memory.mid(n * kBlockSize, kBlockSize), value))
        return answer(r, 2, kWrongBlock);
    const quint32 amount = littleEndianValue(r.body.mid(4, 4));
    const qint64 result =
        r.body.at(1) == '7' ? qint64(value) + qint64(amount) : qint64(value) - qint64(amount);
    if (result < 0 || result > qint64(0xFFFFFFFFu))
        return answer(r, 2, kOverflow);
    const QByteArray v = valueBytes(quint32(result));
    r.card->memory.replace(n * kBlockSize, 12, v + complement(v) + v);
    return answer(r, 2, kDone);
}

char pageCheck(const Request &r) {
    if (!r.held.present())
        return kNoCard;
    if (!r.card || r.card->chip != RfChip::Ultralight)
        return kNoRfCard;
    if (r.sector() >= kUltralightPages)
        return kWrongSector;
    return 0;
}

QByteArray readPage(const Request &r) {
    if (const char stop = pageCheck(r))
        return answer(r, 1, stop);
    return answer(r, 1, kDone, r.card->memory.mid(r.sector() * kPageSize, kPageSize));
}

QByteArray writePage(const Request &r) {
    if (const char stop = pageCheck(r))
        return answer(r, 1, stop);
    const int page = r.sector();
    // Serial number, check and lock bytes are fixed at the factory.
    if (page < 3)
        return answer(r, 1, kWrongBlock);
    QByteArray data = r.body.mid(3, kPageSize);
    if (page == 3) { // one-time programmable: bits are only ever set
        for (int i = 0; i < kPageSize; ++i)
            data[i] = char(quint8(data.at(i)) | quint8(r.card->memory.at(3 * kPageSize + i)));
    }
    r.card->memory.replace(page * kPageSize, kPageSize, data);
    return answer(r, 1, kDone);
}

QByteArray poll(const Request &r) {
    if (!r.held.present())
        return answer(r, 0, kNoCard);
    const RfChip wanted = quint8(r.body.at(1)) == 0x60 ? RfChip::CpuTypeA : RfChip::CpuTypeB;
    if (!r.card || r.card->chip != wanted) {
        if (r.card)
            r.card->activated = false;
        return answer(r, 0, kFailed);
    }
    r.card->activated = true;
    const QByteArray reply =
        wanted == RfChip::CpuTypeA ? kCpuTypeAAts : "\x50" + r.card->uid + kCpuTypeBAtqbTail;
    return answer(r, 0, kDone, reply);
}

bool activeCpuCard(const Request &r) {
    return r.card && !r.card->isMemoryCard() && r.card->chip != RfChip::Ultralight &&
           r.card->activated;
}

QByteArray sendApdu(const Request &r) {
    if (!r.held.present())
        return answer(r, 0, kNoCard);
    if (!activeCpuCard(r))
        return answer(r, 0, kFailed);
    const QByteArray response = ApduResponder().respond(r.body.mid(4));
    QByteArray data;
    data += char((response.size() >> 8) & 0xFF);
    data += char(response.size() & 0xFF);
    return answer(r, 0, kDone, data + response);
}

QByteArray deselect(const Request &r) {
    if (!r.held.present())
        return answer(r, 0, kNoCard);
    if (!activeCpuCard(r))
        return answer(r, 0, kFailed);
    r.card->activated = false;
    return answer(r, 0, kDone);
}

struct Operation {
    quint8 pm;
    int bodySize; // 0: an APDU of the length it announces follows
    QByteArray (*run)(const Request &);
};

constexpr std::array<Operation, 17> kOperations{{
    {'0', 2, &findCard},
    {'1', 2, &serialNumber},
    {'2', 9, &checkKey}, // key A
    {'9', 9, &checkKey}, // key B
    {'3', 4, &readBlock},
    {'4', 20, &writeBlock},
    {'5', 9, &changeKey},
    {'7', 8, &changeValue},
    {'8', 8, &changeValue},
    {'B', 2, &ultralightSerialNumber},
    {'C', 3, &readPage},
    {'D', 7, &writePage},
    {0x60, 2, &poll},
    {0x61, 2, &poll},
    {0x65, 0, &sendApdu},
    {0x68, 2, &deselect},
    {0x69, 2, &serialNumber},
}};

bool sizeFits(const Operation &op, const QByteArray &body) {
    if (op.bodySize != 0)
        return body.size() == op.bodySize;
    return body.size() > 4 && quint8(body.at(2)) * 256 + quint8(body.at(3)) == body.size() - 4;
}

} // namespace

QByteArray rfTypeCode(RfChip chip) {
    switch (chip) {
    case RfChip::S50:
        return "00";
    case RfChip::S70:
        return "01";
    case RfChip::Ultralight:
        return "02";
    case RfChip::CpuTypeA:
        return "04";
    case RfChip::CpuTypeB:
        return "05";
    }
    return {};
}

QString rfChipName(RfChip chip) {
    switch (chip) {
    case RfChip::S50:
        return QStringLiteral("S50 (1 KB)");
    case RfChip::S70:
        return QStringLiteral("S70 (4 KB)");
    case RfChip::Ultralight:
        return QStringLiteral("Ultralight");
    case RfChip::CpuTypeA:
        return QStringLiteral("CPU card, type A");
    case RfChip::CpuTypeB:
        return QStringLiteral("CPU card, type B");
    }
    return {};
}

ContactlessCard ContactlessCard::fresh(RfChip chip) {
    ContactlessCard card;
    card.chip = chip;
    switch (chip) {
    case RfChip::S50:
        card.uid = kS50Uid;
        card.memory = sectorMemory(64, card);
        card.memory.replace(0, kBlockSize,
                            manufacturerBlock(card.uid, 0x08, QByteArray::fromHex("0400")));
        break;
    case RfChip::S70:
        card.uid = kS70Uid;
        card.memory = sectorMemory(256, card);
        card.memory.replace(0, kBlockSize,
                            manufacturerBlock(card.uid, 0x18, QByteArray::fromHex("0200")));
        break;
    case RfChip::Ultralight:
        card.uid = kUltralightUid;
        card.memory = ultralightMemory(card.uid);
        break;
    case RfChip::CpuTypeA:
        card.uid = kCpuTypeAUid;
        break;
    case RfChip::CpuTypeB:
        card.uid = kCpuTypeBPupi;
        break;
    }
    return card;
}

int ContactlessCard::sectorCount() const {
    switch (chip) {
    case RfChip::S50:
        return 16;
    case RfChip::S70:
        return 40;
    default:
        return 0;
    }
}

int ContactlessCard::blockNumber(int sector, int block) const {
    if (sector < 0 || sector >= sectorCount() || block < 0)
        return -1;
    if (sector < 32)
        return block < 4 ? sector * 4 + block : -1;
    return block < 16 ? 128 + (sector - 32) * 16 + block : -1;
}

QByteArray contactlessCommand(ReaderDevice &reader, const QByteArray &body) {
    // The KVR-416 has no contactless module.
    if (reader.model() == ReaderModel::Kvr416)
        return negativeReply(body, errorcode::kUndefinedCommand);
    for (const Operation &op : kOperations) {
        if (op.pm != quint8(body.at(1)))
            continue;
        if (!sizeFits(op, body))
            return negativeReply(body, errorcode::kParameterWrong);
        SimCard card = reader.card();
        const bool contactless = card.kind == CardKind::Contactless;
        // A card made contactless without data of its own comes fresh from the factory.
        if (contactless && card.contactless.uid.isEmpty())
            card.contactless = ContactlessCard::fresh(card.contactless.chip);
        const bool reached = card.place == CardPlace::Inside ||
                             card.place == CardPlace::IcPosition ||
                             card.place == CardPlace::RfPosition;
        ContactlessCard *rf = contactless && reached ? &card.contactless : nullptr;
        const QByteArray data = op.run(Request{card, rf, contactless && !reached, body});
        reader.setCard(card);
        QByteArray reply("P");
        reply += body.at(1);
        return reply + data;
    }
    return negativeReply(body, errorcode::kParameterWrong);
}

} // namespace talvex::sim
