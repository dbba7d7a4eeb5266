#include "sim/sle4428.h"

#include "sim/memorycommand.h"

#include <bit>

namespace talvex::sim {
namespace {

constexpr int kSize = 1024;
constexpr int kCounterAt = 0x3FD;
constexpr int kPscAt = 0x3FE;

} // namespace

Sle4428Card Sle4428Card::blank() {
    Sle4428Card card;
    card.memory = QByteArray(kSize, char(0xFF)); // counter full, transport PSC FF FF
    card.protection = QByteArray(kSize, char(0x01));
    return card;
}

int Sle4428Card::attemptsLeft() const {
    return std::popcount(unsigned(errorCounter));
}

QByteArray sle4428Command(ReaderDevice &reader, const QByteArray &body) {
    MemoryCommand cmd(reader, body);
    Sle4428Card *card = cmd.chip<Sle4428Card>();
    if (!card)
        return cmd.answer();
    const int a = cmd.param(0) * 256 + cmd.param(1);
    const int n = cmd.param(2);
    const QByteArray data = cmd.params(3);
    switch (cmd.pm()) {
    case '0':
        card->verified = false;
        return cmd.ok();
    case '1': {
        if (!fits(a, n, kSize))
            return cmd.refuse();
        QByteArray read = card->memory.mid(a, n);
        // The PSC reads as FFh until it has been presented.
        for (int i = qMax(a, kPscAt); !card->verified && i < a + n; ++i)
            read[i - a] = char(0xFF);
        return cmd.ok(cmd.params(0, 3) + read);
    }
    case '2':
        if (!fits(a, n, kSize))
            return cmd.refuse();
        return cmd.ok(cmd.params(0, 3) + card->protection.mid(a, n));
    case '3':
        if (cmd.paramCount() != 2)
            return cmd.refuse();
        if (card->attemptsLeft() == 0)
            return cmd.reply('F');
        if (cmd.params(0) == card->psc()) {
            card->errorCounter = 0xFF;
            card->memory[kCounterAt] = char(0xFF);
            card->verified = true;
            return cmd.ok();
        }
        card->errorCounter &= quint8(card->errorCounter >> 1);
        card->memory[kCounterAt] = char(card->errorCounter);
        card->verified = false;
        return cmd.reply(card->attemptsLeft() == 0 ? 'F' : 'N');
    case '4':
    case '5': {
        // The counter and the PSC change only through the password commands.
        if (!card->verified || data.size() != n || !fits(a, n, kCounterAt))
            return cmd.refuse();
        if (card->protection.mid(a, n).contains('\0'))
            return cmd.refuse();
        card->memory.replace(a, n, data);
        if (cmd.pm() == '5')
            card->protection.replace(a, n, QByteArray(n, '\0'));
        return cmd.ok();
    }
    case '6':
        if (!card->verified || cmd.paramCount() != 4 || cmd.params(0, 2) != card->psc())
            return cmd.refuse();
        card->memory.replace(kPscAt, 2, cmd.params(2, 2));
        return cmd.ok();
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim
