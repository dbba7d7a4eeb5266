#include "frame.h"

namespace talvex::link {

quint8 ReaderBcc(const QByteArray &frame) {
    quint8 bcc = 0;
    // The last element is where the caller puts the result, so whatever it
    // holds now (often a stale BCC) must not count.
    for (qsizetype i = 0; i + 1 < frame.size(); ++i)
        bcc ^= static_cast<quint8>(frame.at(i));
    return bcc;
}

QByteArray buildReaderFrame(const QByteArray &body) {
    const qsizetype n = body.size();
    QByteArray frame(n + 5, '\0');
    frame[0] = static_cast<char>(STX);
    frame[1] = static_cast<char>((n >> 8) & 0xFF);
    frame[2] = static_cast<char>(n & 0xFF);
    std::copy(body.cbegin(), body.cend(), frame.begin() + 3);
    frame[3 + n] = static_cast<char>(ETX);
    frame[4 + n] = static_cast<char>(ReaderBcc(frame));
    return frame;
}

QString byteText(quint8 byte) {
    static const char digits[] = "0123456789ABCDEF";
    const QChar out[2] = {QLatin1Char(digits[byte >> 4]), QLatin1Char(digits[byte & 0x0F])};
    return QString(out, 2);
}

QString bytesText(const QByteArray &bytes) {
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char b : bytes) {
        out += byteText(static_cast<quint8>(b));
        out += QLatin1Char(' ');
    }
    return out;
}

QString HexPad2(const QString &text) {
    switch (text.size()) {
    case 0:
        return QStringLiteral("00");
    case 1:
        return QLatin1Char('0') + text;
    case 2:
        return text;
    default:
        return QString();
    }
}

QString HexToBits(const QString &text) {
    QString out;
    out.reserve(text.size() * 4);
    for (const QChar c : text) {
        int value;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            value = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            value = c.unicode() - 'A' + 10;
        else
            continue; // track displays skip blanks and anything not upper-case hex
        for (int bit = 3; bit >= 0; --bit)
            out += (value >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    }
    return out;
}

int hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

std::optional<quint8> hexByteText(const QString &text) {
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + digit;
    }
    return quint8(value);
}

std::optional<QByteArray> parseTypedHex(const QString &text, int byteCount) {
    if (byteCount < 0)
        return std::nullopt;
    QByteArray out;
    out.reserve(byteCount);
    for (int i = 0; i < byteCount; ++i) {
        const qsizetype at = qsizetype(3) * i;
        // A pair cut short by the end of the text is not a byte the user typed.
        if (at + 2 > text.size())
            return std::nullopt;
        // Blanks only: a tab or line break in a pair is a typing fault.
        QString pair = text.mid(at, 2);
        while (pair.startsWith(QLatin1Char(' ')))
            pair.remove(0, 1);
        while (pair.endsWith(QLatin1Char(' ')))
            pair.chop(1);
        const std::optional<quint8> byte = hexByteText(pair);
        if (!byte)
            return std::nullopt;
        out.append(static_cast<char>(*byte));
    }
    return out;
}

bool replyBccMatches(const QByteArray &header, const QByteArray &rest) {
    if (header.size() < 3 || rest.isEmpty())
        return false;
    quint8 check = 0;
    for (char c : header.first(3))
        check ^= static_cast<quint8>(c);
    for (qsizetype i = 0; i + 1 < rest.size(); ++i)
        check ^= static_cast<quint8>(rest.at(i));
    return check == static_cast<quint8>(rest.back());
}

} // namespace talvex::link
