#include "sim/at24c.h"

#include "sim/memorycommand.h"

namespace talvex::sim {
namespace {

constexpr int kTypes = 7;

// The type code's chip size, or 0 for a code that names none.
int sizeOfCode(quint8 t) {
    return t >= 0x30 && t < 0x30 + kTypes ? At24cCard::sizeOf(t - 0x30) : 0;
}

} // namespace

int At24cCard::sizeOf(int type) {
    return 128 << type;
}

At24cCard At24cCard::blank(int type) {
    At24cCard card;
    card.type = qBound(0, type, kTypes - 1);
    card.memory = QByteArray(sizeOf(card.type), char(0xFF));
    return card;
}

QByteArray at24cCommand(ReaderDevice &reader, const QByteArray &body) {
    const bool setup = body.at(1) == '0';
    MemoryCommand cmd(reader, body, setup ? 2 : 3);
    At24cCard *card = cmd.chip<At24cCard>();
    if (!card)
        return cmd.answer();
    const int typeSize = sizeOfCode(cmd.param(0));
    if (typeSize == 0)
        return cmd.refuse();
    const int a = cmd.param(1) * 256 + cmd.param(2);
    const int n = cmd.param(3);
    const QByteArray data = cmd.params(4);
    // Address bits the chip does not have are not decoded: a smaller chip
    // than the type wraps around.
    const int size = int(card->memory.size());
    switch (cmd.pm()) {
    case '0':
        return cmd.ok();
    case '1': {
        if (!fits(a, n, typeSize))
            return cmd.refuse();
        QByteArray read;
        for (int i = a; i < a + n; ++i)
            read += card->memory.at(i % size);
        return cmd.ok(cmd.params(1, 3) + read);
    }
    case '2':
    case '3':
        if (data.size() != n || !fits(a, n, typeSize))
            return cmd.refuse();
        for (int i = 0; i < n; ++i)
            card->memory[(a + i) % size] = data.at(i);
        return cmd.ok();
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim
