// The contactless tabs' conversions: a typed cell or key byte and the reply
// shown as hex text.
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray rest(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(rest);

    if (const auto byte = hexByte(text)) {
        bool ok = false;
        FUZZ_CHECK(text.toUInt(&ok, 16) == *byte && ok);
    }
    // One or two hex digits are always a byte.
    const bool digitsOnly = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return QStringLiteral("0123456789ABCDEFabcdef").contains(c);
    });
    if (!text.isEmpty() && text.size() <= 2 && digitsOnly)
        FUZZ_CHECK(hexByte(text).has_value());
    for (qsizetype i = 0; i < rest.size(); ++i)
        FUZZ_CHECK(hexByte(link::byteText(quint8(rest.at(i)))) == quint8(rest.at(i)));

    for (const int from : {0, 2, 3, int(rest.size())}) {
        const QString hex = replyHex(rest, from);
        const qsizetype shown = std::max<qsizetype>(0, rest.size() - 2 - from);
        FUZZ_CHECK(hex.size() == 2 * shown);
    }
    return 0;
}
