#include "sim/sle4442.h"

#include "sim/memorycommand.h"

#include <bit>

namespace talvex::sim {
namespace {

constexpr int kMainSize = 256;
constexpr int kProtectedSize = 32;
// Answer to reset of every SLE4442: synchronous, 256 x 8 bits.
const QByteArray kAtr = QByteArray::fromHex("A2131091");

} // namespace

Sle4442Card Sle4442Card::blank() {
    Sle4442Card card;
    card.main = QByteArray(kMainSize, char(0xFF));
    card.main.replace(0, kAtr.size(), kAtr);
    card.protection = QByteArray(kProtectedSize, char(0x01));
    // The card maker protects the ATR header.
    for (int i = 0; i < kAtr.size(); ++i)
        card.protection[i] = char(0x00);
    card.psc = QByteArray(3, char(0xFF)); // transport PSC
    return card;
}

int Sle4442Card::attemptsLeft() const {
    return std::popcount(unsigned(errorCounter & 0x07));
}

QByteArray sle4442Command(ReaderDevice &reader, const QByteArray &body) {
    MemoryCommand cmd(reader, body);
    Sle4442Card *card = cmd.chip<Sle4442Card>();
    if (!card)
        return cmd.answer();
    const int a = cmd.param(0);
    const int n = cmd.param(1);
    switch (cmd.pm()) {
    case '0':
        card->verified = false;
        return cmd.ok(kAtr);
    case '1':
        if (!fits(a, n, kMainSize))
            return cmd.refuse();
        return cmd.ok(cmd.params(0, 2) + card->main.mid(a, n));
    case '2':
        return cmd.ok(card->protection);
    case '3': {
        // The PSC itself reads as zeros until it has been presented.
        QByteArray security(1, char(card->errorCounter));
        security += card->verified ? card->psc : QByteArray(3, '\0');
        return cmd.ok(security);
    }
    case '4': {
        if (cmd.paramCount() != 3)
            return cmd.refuse();
        if (card->attemptsLeft() == 0)
            return cmd.reply('F');
        if (cmd.params(0) == card->psc) {
            card->errorCounter = 0x07;
            card->verified = true;
            return cmd.ok();
        }
        // Each wrong PSC writes off one bit of the counter; the last one locks the card.
        card->errorCounter &= quint8(card->errorCounter >> 1) & 0x07;
        card->verified = false;
        return cmd.reply(card->attemptsLeft() == 0 ? 'F' : 'N');
    }
    case '5': {
        const QByteArray data = cmd.params(2);
        if (!card->verified || data.size() != n || !fits(a, n, kMainSize))
            return cmd.refuse();
        for (int i = a; i < a + n && i < kProtectedSize; ++i) {
            if (card->protection.at(i) == 0)
                return cmd.refuse();
        }
        card->main.replace(a, n, data);
        return cmd.ok();
    }
    case '6': {
        // Protecting compares: a byte is protected only when the data given
        // matches what it holds.
        const QByteArray data = cmd.params(2);
        if (!card->verified || data.size() != n || !fits(a, n, kProtectedSize))
            return cmd.refuse();
        if (card->main.mid(a, n) != data)
            return cmd.refuse();
        for (int i = a; i < a + n; ++i)
            card->protection[i] = char(0x00);
        return cmd.ok();
    }
    case '7':
        if (!card->verified || cmd.paramCount() != 3)
            return cmd.refuse();
        card->psc = cmd.params(0);
        return cmd.ok();
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim
