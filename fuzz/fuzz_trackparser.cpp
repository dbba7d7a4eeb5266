// The magnetic track parser and the track boxes' texts on any reply a reader
// might send. A reply laid out from three sections must give back those
// sections; any other reply may give odd sections, but never a byte that is
// not among the reply's own, never ETX or BCC, and never a text that does not
// come from the section it shows.
//
// Input: byte 0 is the flags: bit 0 BIN form, bits 1-2 the kept reply length
// (the bytes, the 1025-byte buffer with the bytes at its start, the bytes
// with a length byte of their own, or the bytes as three sections), bits 3-7
// a start value for the read and error counts. The rest is the reply or, for
// sections, per track a status byte, a length byte and the data.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "link/exchange.h"
#include "magnetic/trackparser.h"

#include <QString>
#include <cstdint>

using namespace talvex;
using namespace talvex::magnetic;

namespace {

const QString kDetail[5] = {
    QStringLiteral("No start bits (STX)"),       QStringLiteral("No stop bits (ETX)"),
    QStringLiteral("Byte Parity Error(Parity)"), QStringLiteral("Parity Bit Error(LRC)"),
    QStringLiteral("Card Track Data is Blank"),
};

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void checkDisplay(const TrackSection &section, bool binForm) {
    const QString untouched = QStringLiteral("kept");
    QString text = untouched;
    const bool shown = trackDisplayText(section, binForm, text);
    switch (section.status) {
    case 'Y':
        FUZZ_CHECK(shown);
        if (!binForm) {
            FUZZ_CHECK(text == QString::fromLatin1(section.data));
        } else {
            qsizetype digits = 0;
            for (const char c : section.data)
                digits += isHexDigit(c);
            FUZZ_CHECK(text.size() == 4 * digits);
            for (const QChar c : text)
                FUZZ_CHECK(c == QLatin1Char('0') || c == QLatin1Char('1'));
        }
        return;
    case 'N': {
        FUZZ_CHECK(shown);
        const quint8 code = section.data.isEmpty() ? 0 : quint8(section.data.at(0));
        const bool known = code >= 0xE1 && code <= 0xE5;
        const QString detail = known ? kDetail[code - 0xE1] : QString();
        FUZZ_CHECK(text == QStringLiteral("Read/Parity Error\r\n") + detail);
        FUZZ_CHECK(trackErrorTypeIndex(code) == (known ? code - 0xE1 : -1));
        return;
    }
    case 'O':
        FUZZ_CHECK(shown && text == QStringLiteral("No Read for this Track\r\n"
                                                   "Card Track Data is 0xE0"));
        return;
    case 0x00:
        FUZZ_CHECK(shown && text == QStringLiteral("No Read Operation\r\n"
                                                   "Card Track Data is 0x00"));
        return;
    default:
        FUZZ_CHECK(!shown && text == untouched);
    }
}

// An error rate as the box shows it: the percentage, to 15 significant digits.
void checkRate(qint64 errors, qint64 reads) {
    const QString text = errorRateText(errors, reads);
    bool ok = false;
    const double shown = text.toDouble(&ok);
    FUZZ_CHECK(ok);
    const double exact = reads == 0 ? 0.0 : double(errors) * 100.0 / double(reads);
    FUZZ_CHECK(std::abs(shown - exact) <= 1e-12 * std::max(1.0, exact));
    FUZZ_CHECK(shown >= 0.0 && shown <= 100.0);
}

// The reply the reader sends for three sections: five bytes of its own, the
// sections joined by 1Fh, ETX and BCC.
QByteArray layOut(fuzzing::Input &in, TrackSections &sections) {
    QByteArray reply = QByteArray::fromHex("3030593030");
    for (int t = 0; t < 3; ++t) {
        quint8 status = in.byte();
        QByteArray data = in.bytes(in.byte());
        // Only the last section may carry 1Fh: the parser looks for no third separator.
        if (t < 2) {
            status = status == 0x1F ? 0x20 : status;
            data.replace('\x1F', '\x20');
        }
        sections[t].status = status;
        sections[t].data = data;
        if (t > 0)
            reply += '\x1F';
        reply += char(sections[t].status) + data;
    }
    return reply + QByteArray("\x03\x00", 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzzing::Input in(data, size);
    const std::uint8_t flags = in.byte();
    const bool binForm = flags & 1;
    const int layout = flags >> 1 & 3;

    QByteArray reply;
    int length = 0;
    TrackSections laidOut;
    switch (layout) {
    case 0:
        reply = in.rest();
        length = int(reply.size());
        break;
    case 1:
        reply = link::newReplyBuffer();
        length = int(std::min<std::size_t>(in.left(), link::kReplyBufferSize));
        reply.replace(0, length, in.rest().left(length));
        break;
    case 2:
        length = in.byte();
        reply = in.rest();
        break;
    default:
        reply = layOut(in, laidOut);
        length = int(reply.size());
        break;
    }

    TrackSections sections;
    const bool parsed = parseTrackReply(reply, length, sections);
    FUZZ_CHECK(parsed == (length > 5));
    if (!parsed)
        return 0;

    // Bytes past the length, or past the bytes there are, are no track's;
    // nor are the reply's ETX and BCC.
    const QByteArray own = reply.left(length - 2);
    for (int t = 0; t < 3; ++t) {
        const TrackSection &s = sections[t];
        FUZZ_CHECK(s.data.isEmpty() || own.indexOf(s.data, 1) >= 1);
        if (t < 2)
            FUZZ_CHECK(!s.data.contains('\x1F'));
        checkDisplay(s, binForm);
    }
    if (reply.size() > 5)
        FUZZ_CHECK(sections[0].status == quint8(reply.at(5)));
    if (layout == 3) {
        for (int t = 0; t < 3; ++t)
            FUZZ_CHECK(sections[t].status == laidOut[t].status &&
                       sections[t].data == laidOut[t].data);
    }

    // The counts a long automatic run can reach.
    const qint64 reads = (qint64(flags >> 3) << 26) + size;
    checkRate(reads / 3, reads);
    checkRate(reads, reads);
    checkRate(0, reads);
    return 0;
}
