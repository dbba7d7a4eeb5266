#include "apdutext.h"

#include "replycodes.h"

#include <optional>

namespace talvex::link {
namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// One pair of the command text; blanks around the digits do not count, as
// when the pair is read as a number.
std::optional<quint8> pairValue(QStringView pair) {
    pair = pair.trimmed();
    if (pair.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar c : pair) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return quint8(value);
}

} // namespace

ApduText parseApduText(const QString &text, int maxBytes) {
    ApduText out;
    if (text.isEmpty()) {
        out.fault = ApduText::Fault::Empty;
        return out;
    }
    if (text.size() % 2 != 0) {
        out.fault = ApduText::Fault::OddLength;
        return out;
    }
    const qsizetype m = text.size() / 2;
    if (m > maxBytes) {
        out.fault = ApduText::Fault::TooLong;
        return out;
    }
    out.apdu.reserve(m);
    for (qsizetype i = 0; i < m; ++i) {
        const std::optional<quint8> value = pairValue(QStringView(text).mid(2 * i, 2));
        if (!value) {
            out.fault = ApduText::Fault::NotHex;
            out.apdu.clear();
            return out;
        }
        out.apdu.append(char(*value));
    }
    return out;
}

QString apduFaultText(ApduText::Fault fault) {
    switch (fault) {
    case ApduText::Fault::None:
        return {};
    case ApduText::Fault::Empty:
        return QStringLiteral("Enter the Command and then Press 'Send'");
    case ApduText::Fault::OddLength:
        return QStringLiteral("Error:Please Check The Data Effective");
    case ApduText::Fault::NotHex:
    case ApduText::Fault::TooLong:
        return text::DataNotEffective;
    }
    return {};
}

QByteArray apduLength(int m) {
    // Texts below 512 characters give a zero high byte, longer ones m div 256
    // and m mod 256: both are the plain high and low bytes of m.
    QByteArray out(2, '\0');
    out[0] = char((m >> 8) & 0xFF);
    out[1] = char(m & 0xFF);
    return out;
}

} // namespace talvex::link
