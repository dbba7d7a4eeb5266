// The memory card tab's reply decoding, for every button, on any reply a
// reader might send: the result box of the status byte, the data a read puts
// into the grid, the PSC and fuse lines. Nothing may come from beyond the
// reply's own bytes, and the data count must add up with the reply length.
//
// Input: byte 0 picks the reply length the exchange reports (all the bytes,
// byte 1, the whole 1025-byte buffer or half the bytes); the rest are the
// reply's bytes, at the start of a buffer as the exchange hands it over.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "link/exchange.h"
#include "memorycard/memoryoperations.h"

#include <QString>
#include <QStringList>
#include <cstdint>

using namespace talvex;
using namespace talvex::memorycard;

namespace {

const QString kNoCard = QStringLiteral("No Card In The Reader");
const QString kNotAtIc = QStringLiteral("The card is not on the IC card operation position");

void checkBox(const MemoryOperation &op, const QByteArray &reply, int length) {
    const char status = reply.at(op.statusIndex);
    const auto box = resultBox(op, reply, length);
    switch (status) {
    case 'Y':
    case 'N':
    case 'E':
    case 'W':
        FUZZ_CHECK(box && box->title == QLatin1String(op.title));
        break;
    case 'F':
        FUZZ_CHECK(box.has_value() == (op.locked != nullptr));
        if (box)
            FUZZ_CHECK(box->text == QLatin1String(op.locked) &&
                       box->title == QLatin1String(op.lockedTitle ? op.lockedTitle : op.title));
        return;
    default:
        FUZZ_CHECK(!box);
        return;
    }
    if (status == 'N')
        FUZZ_CHECK(box->text == QLatin1String(op.no));
    if (status == 'E')
        FUZZ_CHECK(box->text == kNoCard);
    if (status == 'W')
        FUZZ_CHECK(box->text == kNotAtIc);
    if (status != 'Y')
        return;

    const QString yes = QString::fromLatin1(op.yes);
    if (op.extra == Extra::ShowPsc) {
        // Every byte from index 3 up to the one before ETX, as "XX ".
        const QByteArray psc = reply.mid(3, std::max(0, length - 5));
        const QString bytes = QString::fromLatin1(psc.toHex(' ').toUpper());
        FUZZ_CHECK(box->text == yes + QStringLiteral("\r\n") + bytes + (psc.isEmpty() ? "" : " "));
    } else if (op.extra == Extra::ShowFuses) {
        const QStringList lines = box->text.split(QStringLiteral("\r\n"));
        FUZZ_CHECK(lines.size() == 4 && lines[0] == yes);
        FUZZ_CHECK(lines[1] == (reply.at(6) == '0' ? "FAB blown " : "FAB  not blown"));
        FUZZ_CHECK(lines[2] == (reply.at(7) == '0' ? "CMA blown" : "CMA not blown"));
        FUZZ_CHECK(lines[3] == (reply.at(8) == '0' ? "PER blown" : "PER not blown"));
    } else {
        FUZZ_CHECK(box->text == yes);
    }
}

void checkData(const MemoryOperation &op, const QByteArray &reply, int length) {
    const QByteArray data = replyData(op, reply, length);
    if (op.dataIndex < 0) {
        FUZZ_CHECK(data.isEmpty());
        return;
    }
    if (op.extra == Extra::ProtectionMemory) {
        // Thirty-two bytes whatever the reply says; the buffer behind a short
        // reply holds zeros, never an earlier reply's bytes.
        FUZZ_CHECK(data.size() == 32 && data == reply.mid(3, 32));
        for (int i = std::max(3, length); i < 35; ++i)
            FUZZ_CHECK(data.at(i - 3) == '\0');
        return;
    }
    // Data count = reply length - D - 2: up to the byte before ETX.
    const int count = std::max(0, length - op.dataIndex - 2);
    FUZZ_CHECK(data.size() == count);
    FUZZ_CHECK(data == reply.mid(op.dataIndex, count));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzzing::Input in(data, size);
    const std::uint8_t choice = in.byte();
    const int ownLength = in.byte();
    const QByteArray bytes = in.rest().left(link::kReplyBufferSize);

    // The exchange reports at most its buffer's length and leaves zeros after
    // the reply.
    const int lengths[] = {int(bytes.size()), ownLength, link::kReplyBufferSize,
                           int(bytes.size()) / 2};
    const int length = lengths[choice & 3];
    QByteArray reply = link::newReplyBuffer();
    reply.replace(0, std::min<qsizetype>(length, bytes.size()), bytes.left(length));

    for (const MemoryOperation &op : memoryOperations()) {
        FUZZ_CHECK(op.statusIndex == 2 || op.statusIndex == 3);
        checkBox(op, reply, length);
        checkData(op, reply, length);
    }
    return 0;
}
