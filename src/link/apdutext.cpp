#include "apdutext.h"

#include "frame.h"
#include "replycodes.h"

#include <optional>

namespace talvex::link {

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
    // The pairs follow the rules of typed hex, which reads its pairs with a
    // separator after each.
    QString spaced;
    spaced.reserve(3 * m);
    for (qsizetype i = 0; i < m; ++i)
        spaced += text.mid(2 * i, 2) + QLatin1Char(' ');
    if (std::optional<QByteArray> apdu = parseTypedHex(spaced, int(m)))
        out.apdu = *apdu;
    else
        out.fault = ApduText::Fault::NotHex;
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
