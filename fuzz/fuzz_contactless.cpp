// The simulated reader's contactless module and the card application behind
// its processor cards, given command bodies one after another.
//
// Input: byte 0 picks the card (bits 0-2: none, S50, S70, Ultralight, type A,
// type B) and whether it lies half out of the reader (bit 3); then commands,
// each a length byte followed by that many body bytes (after "5").

#include "fuzzcheck.h"
#include "sim/apduresponder.h"
#include "sim/contactlesscard.h"
#include "sim/readerdevice.h"

#include <cstdint>

using namespace talvex::sim;

namespace {

constexpr char kStatuses[] = "YNE0123459W";

bool knownStatus(char status) {
    for (const char *s = kStatuses; *s; ++s) {
        if (*s == status)
            return true;
    }
    return false;
}

// What no command can change: the size of the memory, the maker's block and
// the Ultralight serial number pages.
QByteArray fixedPart(const ContactlessCard &card) {
    if (card.isMemoryCard())
        return card.memory.left(16) + QByteArray::number(card.memory.size());
    if (card.chip == RfChip::Ultralight)
        return card.memory.left(12) + QByteArray::number(card.memory.size());
    return card.uid;
}

void checkReply(const QByteArray &body, const QByteArray &reply) {
    FUZZ_CHECK(reply.size() >= 3);
    FUZZ_CHECK(reply.at(1) == body.at(1));
    if (reply.at(0) == 'N')
        return;
    FUZZ_CHECK(reply.at(0) == 'P');
    // The status follows the echoed sector and block, if any.
    bool found = false;
    for (int i = 2; i <= 4 && i < reply.size(); ++i)
        found = found || knownStatus(reply.at(i));
    FUZZ_CHECK(found);
    if (quint8(body.at(1)) == 0x65 && reply.at(2) == 'Y') {
        const int length = quint8(reply.at(3)) * 256 + quint8(reply.at(4));
        FUZZ_CHECK(length == reply.size() - 5 && length >= 2);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    ReaderDevice reader(ReaderModel::Kvr690);
    const int pick = quint8(input.at(0)) & 0x07;
    SimCard card;
    if (pick >= 1 && pick <= 5) {
        card.kind = CardKind::Contactless;
        card.contactless = ContactlessCard::fresh(kAllRfChips[pick - 1]);
        card.place = (input.at(0) & 0x08) ? CardPlace::Front : CardPlace::RfPosition;
    }
    reader.setCard(card);
    const QByteArray fixed = fixedPart(card.contactless);

    qsizetype at = 1;
    while (at < input.size()) {
        const int length = quint8(input.at(at++));
        QByteArray body("5");
        body += input.mid(at, length);
        at += length;
        if (body.size() < 2)
            break;
        checkReply(body, contactlessCommand(reader, body));
        FUZZ_CHECK(reader.card().kind == card.kind && reader.card().place == card.place);
        FUZZ_CHECK(fixedPart(reader.card().contactless) == fixed);
        const int open = reader.card().contactless.openSector;
        FUZZ_CHECK(open >= -1 && open < 40);
    }

    const QByteArray response = ApduResponder().respond(input.mid(1));
    FUZZ_CHECK(response.size() >= 2);
    const QByteArray sw = response.right(2).toHex();
    FUZZ_CHECK(sw == "9000" || sw == "6d00" || sw == "6700" || sw == "6c08");
    if (sw != "9000")
        FUZZ_CHECK(response.size() == 2);
    return 0;
}
