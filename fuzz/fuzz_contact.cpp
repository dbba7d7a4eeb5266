// The contact card window's text and reply handling: the APDU text of the
// command boxes, the SAM socket names, the status boxes of each operation and
// the reply shown as hex text.
//
// Input: byte 0 picks the room left for the APDU and the status byte, the
// rest is the typed text (UTF-8) and, as bytes, a reply.

#include "contact/contactcommands.h"
#include "fuzzcheck.h"
#include "link/frame.h"

#include <QString>
#include <cstdint>

using namespace talvex;
using namespace talvex::contact;

namespace {

void checkApduText(const QString &text, int maxBytes) {
    const ApduText parsed = parseApduText(text, maxBytes);
    FUZZ_CHECK((parsed.fault == ApduText::Fault::Empty) == text.isEmpty());
    FUZZ_CHECK(apduFaultText(parsed.fault).isEmpty() == (parsed.fault == ApduText::Fault::None));
    if (parsed.fault != ApduText::Fault::None) {
        FUZZ_CHECK(parsed.apdu.isEmpty());
        return;
    }
    FUZZ_CHECK(text.size() == 2 * parsed.apdu.size());
    FUZZ_CHECK(parsed.apdu.size() <= maxBytes);
    for (qsizetype i = 0; i < parsed.apdu.size(); ++i) {
        bool ok = false;
        const uint value = text.mid(2 * i, 2).trimmed().toUInt(&ok, 16);
        FUZZ_CHECK(ok && value == quint8(parsed.apdu.at(i)));
    }

    // Whatever the user typed, the frame's length fits its one length byte.
    const int m = int(parsed.apdu.size());
    const QByteArray slot = slotApduBody(0, parsed.apdu);
    const QByteArray sam = samApduBody(1, 0x30, parsed.apdu);
    FUZZ_CHECK(slot.size() == 4 + m && slot.endsWith(parsed.apdu));
    FUZZ_CHECK(sam.size() == 5 + m && sam.endsWith(parsed.apdu));
    if (maxBytes <= kMaxSamApdu)
        FUZZ_CHECK(slot.size() <= 255 && sam.size() <= 255);
    FUZZ_CHECK(quint8(slot.at(2)) * 256 + quint8(slot.at(3)) == m);
}

void checkSocket(const QString &text) {
    const auto code = samSocketCode(text);
    if (!code)
        return;
    FUZZ_CHECK(*code >= 0x30 && *code <= 0x3D);
    FUZZ_CHECK(text == QStringLiteral("SAM %1").arg(*code - 0x2F));
}

void checkStatus(quint8 status) {
    const bool known =
        status == 'Y' || status == 'Z' || status == 'N' || status == 'E' || status == 'W';
    for (const StatusTexts *t : {&texts::powerOn(), &texts::powerOff(), &texts::cpuReset(),
                                 &texts::apdu(), &texts::samReset(), &texts::samPowerOff()}) {
        const auto box = statusBox(*t, status);
        if (!known)
            FUZZ_CHECK(!box);
        if (box)
            FUZZ_CHECK(!box->title.isEmpty() && !box->text.isEmpty() &&
                       box->icon == link::MsgIcon::Information);
    }
}

void checkReplyHex(const QByteArray &reply) {
    for (const int from : {0, 2, 3, int(reply.size())}) {
        const QString hex = replyHex(reply, from);
        const qsizetype shown = std::max<qsizetype>(0, reply.size() - 2 - from);
        FUZZ_CHECK(hex.size() == 2 * shown);
        if (shown > 0)
            FUZZ_CHECK(hex == link::bytesText(reply.mid(from, shown)).remove(QLatin1Char(' ')));
    }
    FUZZ_CHECK(statusAt(reply, int(reply.size())) == 0);
    if (!reply.isEmpty())
        FUZZ_CHECK(statusAt(reply, 0) == quint8(reply.at(0)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const int maxBytes = data[0] % 2 ? kMaxSlotApdu : kMaxSamApdu;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString text = QString::fromUtf8(rest);
    checkApduText(text, maxBytes);
    checkApduText(text.trimmed(), maxBytes);
    checkSocket(text);
    checkStatus(data[0]);
    checkReplyHex(rest);
    return 0;
}
