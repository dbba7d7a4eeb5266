#include "sim/at45db041.h"

#include "sim/memorycommand.h"

namespace talvex::sim {

QByteArray At45db041Card::page(int number) const {
    return pages.value(number, QByteArray(kPageSize, char(0xFF)));
}

QByteArray at45db041Command(ReaderDevice &reader, const QByteArray &body) {
    MemoryCommand cmd(reader, body);
    At45db041Card *card = cmd.chip<At45db041Card>();
    if (!card)
        return cmd.answer();
    const int page = cmd.param(0) * 256 + cmd.param(1);
    switch (cmd.pm()) {
    case '0':
        return cmd.ok();
    case '1':
        if (cmd.paramCount() != 2 || page >= At45db041Card::kPageCount)
            return cmd.refuse();
        return cmd.ok(cmd.params(0, 2) + card->page(page));
    case '2':
        if (cmd.paramCount() != 2 + At45db041Card::kPageSize || page >= At45db041Card::kPageCount)
            return cmd.refuse();
        card->pages.insert(page, cmd.params(2));
        return cmd.ok();
    default:
        return cmd.refuse();
    }
}

} // namespace talvex::sim
