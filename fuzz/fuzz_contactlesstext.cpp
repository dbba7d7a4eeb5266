// The contactless tabs' conversions: a typed cell or key byte, the reply
// shown as hex text and the amount of a value block read.
//
// Input: typed text (UTF-8) and, as bytes, a reply.

#include "contactless/rfcommand.h"
#include "fuzzcheck.h"
#include "link/frame.h"

#include <QString>
#include <algorithm>
#include <cstdint>

using namespace talvex;
using namespace talvex::contactless;

namespace {

// A value block read: the amount stands least significant byte first at
// reply index 5, its complement at 9, the amount again at 13 and the
// address byte four times at 17.
QByteArray valueBlockReply(quint32 value, quint8 address) {
    QByteArray block("53\x01\x04Y", 5);
    for (int copy = 0; copy < 3; ++copy)
        for (int i = 0; i < 4; ++i)
            block += char(quint8(value >> (8 * i)) ^ (copy == 1 ? 0xFF : 0x00));
    for (int i = 0; i < 4; ++i)
        block += char(i % 2 ? ~address : address);
    return block + QByteArray("\x03\x00", 2);
}

void checkValueBlock(const QByteArray &reply) {
    // What is shown comes from the reply's own value bytes.
    if (const auto amount = valueBlockAmount(reply)) {
        for (int i = 0; i < 4; ++i)
            FUZZ_CHECK(replyByte(reply, 5 + i) == quint8(*amount >> (8 * i)));
    }
    quint32 value = 0;
    for (int i = 0; i < 4 && i < reply.size(); ++i)
        value = value << 8 | quint8(reply.at(i));
    QByteArray block = valueBlockReply(value, replyByte(reply, 4));
    FUZZ_CHECK(valueBlockAmount(block) == value);
    // Any one bit changed in the value or its complement spoils the block.
    const int bit = reply.isEmpty() ? 0 : quint8(reply.back()) % 64;
    block[5 + bit / 8] = char(block.at(5 + bit / 8) ^ (1 << bit % 8));
    FUZZ_CHECK(!valueBlockAmount(block));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray rest(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(rest);

    // A byte is one or two hex digits and nothing else.
    const bool digitsOnly = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return QStringLiteral("0123456789ABCDEFabcdef").contains(c);
    });
    const std::optional<quint8> byte = link::hexByteText(text);
    FUZZ_CHECK(byte.has_value() == (!text.isEmpty() && text.size() <= 2 && digitsOnly));
    if (byte) {
        bool ok = false;
        FUZZ_CHECK(text.toUInt(&ok, 16) == *byte && ok);
    }
    for (qsizetype i = 0; i < rest.size(); ++i)
        FUZZ_CHECK(link::hexByteText(link::byteText(quint8(rest.at(i)))) == quint8(rest.at(i)));

    checkValueBlock(rest);
    for (const int from : {0, 2, 3, int(rest.size())}) {
        const QString hex = replyHex(rest, from);
        const qsizetype shown = std::max<qsizetype>(0, rest.size() - 2 - from);
        FUZZ_CHECK(hex.size() == 2 * shown);
    }
    return 0;
}
