// Frames, BCC and hex text on arbitrary bytes and arbitrary typed text. The
// expected values are worked out here the plain way, byte by byte.

#include "fuzzcheck.h"
#include "link/exchange.h"
#include "link/frame.h"

#include <QString>
#include <cstdint>

using namespace talvex::link;

namespace {

quint8 xorOf(const QByteArray &bytes, qsizetype from, qsizetype to) {
    quint8 x = 0;
    for (qsizetype i = from; i < to; ++i)
        x ^= quint8(bytes.at(i));
    return x;
}

void checkFrame(const QByteArray &body) {
    const qsizetype n = body.size();
    const QByteArray frame = buildReaderFrame(body);
    FUZZ_CHECK(frame.size() == n + 5);
    FUZZ_CHECK(quint8(frame.at(0)) == 0x02);
    FUZZ_CHECK(quint8(frame.at(1)) * 256 + quint8(frame.at(2)) == n);
    FUZZ_CHECK(frame.mid(3, n) == body);
    FUZZ_CHECK(quint8(frame.at(3 + n)) == 0x03);
    FUZZ_CHECK(quint8(frame.back()) == xorOf(frame, 0, n + 4));
    FUZZ_CHECK(ReaderBcc(frame) == quint8(frame.back()));

    // The received side: the frame as the exchange collects it passes its
    // check, and so does nothing with one bit changed.
    FUZZ_CHECK(replyBccMatches(frame.first(3), frame.mid(3)));
    QByteArray damaged = frame;
    damaged[3 + n / 2] = char(damaged.at(3 + n / 2) ^ 0x10);
    FUZZ_CHECK(!replyBccMatches(damaged.first(3), damaged.mid(3)));
}

void checkByteText(const QByteArray &bytes) {
    const QString text = bytesText(bytes);
    const QString expected = QString::fromLatin1(bytes.toHex(' ').toUpper());
    FUZZ_CHECK(text == (bytes.isEmpty() ? expected : expected + QLatin1Char(' ')));
    for (qsizetype i = 0; i < bytes.size(); ++i)
        FUZZ_CHECK(byteText(quint8(bytes.at(i))) == expected.mid(3 * i, 2));
    // What the log shows, typed back on the command line, is the same bytes.
    const auto typed = parseTypedHex(text, int(bytes.size()));
    FUZZ_CHECK(typed && *typed == bytes);
}

void checkTypedText(const QString &text) {
    const QString bits = HexToBits(text);
    qsizetype hexDigits = 0;
    for (const QChar c : text)
        hexDigits += (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                     (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    FUZZ_CHECK(bits.size() == 4 * hexDigits);
    for (const QChar c : bits)
        FUZZ_CHECK(c == QLatin1Char('0') || c == QLatin1Char('1'));

    const QString padded = HexPad2(text);
    if (text.size() > 2)
        FUZZ_CHECK(padded.isEmpty());
    else
        FUZZ_CHECK(padded.size() == 2 && padded.endsWith(text));

    for (const int count : {0, 1, int(text.size() / 3), int(text.size() / 3) + 1, -1}) {
        const auto parsed = parseTypedHex(text, count);
        if (!parsed)
            continue;
        FUZZ_CHECK(count >= 0 && parsed->size() == count);
        for (int i = 0; i < count; ++i) {
            bool ok = false;
            const uint value = text.mid(3 * i, 2).trimmed().toUInt(&ok, 16);
            FUZZ_CHECK(ok && value == quint8(parsed->at(i)));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!bytes.isEmpty())
        FUZZ_CHECK(ReaderBcc(bytes) == xorOf(bytes, 0, bytes.size() - 1));
    else
        FUZZ_CHECK(ReaderBcc(bytes) == 0);
    checkFrame(bytes);
    checkByteText(bytes);
    checkTypedText(QString::fromLatin1(bytes));
    checkTypedText(QString::fromUtf8(bytes));
    return 0;
}
