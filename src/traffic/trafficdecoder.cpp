#include "trafficdecoder.h"

#include "dispenser/dispenserstatus.h"
#include "link/replycodes.h"
#include "magnetic/trackparser.h"
#include "reader/readerreplies.h"

#include <QStringList>

#include <span>

namespace talvex::traffic {

namespace {

constexpr char kAck = 0x06;
constexpr char kNak = 0x15;

// Which reader models carry a command: a set of model numbers.
enum Models : unsigned {
    M416 = 1u << 0,
    M523 = 1u << 1,
    M527 = 1u << 2,
    M634 = 1u << 3,
    M638 = 1u << 4,
    M690 = 1u << 5,
    AllModels = M416 | M523 | M527 | M634 | M638 | M690,
    Motorised = M527 | M634 | M638 | M690,
    CardModules = M634 | M638 | M690,
};

unsigned modelBit(const QString &model) {
    static const struct {
        const char *name;
        unsigned bit;
    } kModels[] = {{"KVR-416", M416}, {"KVR-523", M523}, {"KVR-527", M527},
                   {"KVR-634", M634}, {"KVR-638", M638}, {"KVR-690", M690}};
    for (const auto &m : kModels)
        if (model == QLatin1String(m.name))
            return m.bit;
    return AllModels; // an unknown model: any reader's command is named
}

// The reader's commands by command code and parameter code; pm 0 stands for
// every parameter code of that command code not named in an earlier row.
struct ReaderCommand {
    char cm;
    char pm;
    unsigned models;
    const char *name;
};

constexpr ReaderCommand kReaderCommands[] = {
    {'0', '0', AllModels, "Reset"},
    {'0', '1', Motorised, "Reset and eject to the front"},
    {'0', '2', M690, "Reset and eject to the rear"},
    {'0', ':', M523, "Read serial number"},
    {'1', '0', AllModels, "Status query"},
    {'1', '.', AllModels, "Sensor status"},
    {'1', '1', AllModels, "Card type detection"},
    {'2', '0', Motorised, "Eject, stop at the front"},
    {'2', '1', M638 | M690, "Eject, stop at the front, hold the card"},
    {'2', '.', M690, "Move card to the RF card operation position"},
    {'2', '/', M690, "Move card to the IC card operation position"},
    {'2', '2', M690, "Move card to the rear, hold the card"},
    {'2', '3', M690, "Move card to the rear"},
    {'2', '5', M690, "Eject abnormal card from the rear"},
    {'2', '7', M690, "Clean reader"},
    {'/', 0, M634 | M638 | M690, "Card entry control"},
    {'.', 0, Motorised, "Set the card stop position"},
    {'4', 0, AllModels, "Set reader baud rate"},
    {'F', '0', M523, "Set the reading method"},
    {'F', 0, AllModels, "Shutter indicator light on/off"},
    {'I', 0, AllModels, "Shutter indicator light glitter"},
    {'\x80', 0, AllModels, "Indicator light on/off"},
    {'\x81', 0, AllModels, "Indicator light glitter"},
    {'3', 0, CardModules, "IC card power"},
    {'7', 0, CardModules, "CPU card APDU"},
    {'=', 0, CardModules, "SAM card"},
    {'J', 0, CardModules, "SAM card power"},
    {'5', 0, CardModules, "Contactless card"},
    {'6', 0, CardModules, "AT24Cxx memory card"},
    {'8', 0, CardModules, "SLE4442 memory card"},
    {'9', 0, CardModules, "SLE4428 memory card"},
    {':', 0, CardModules, "AT88SC102 memory card"},
    {';', 0, CardModules, "AT88SC1604 memory card"},
    {'<', 0, CardModules, "AT45DB041 memory card"},
    {'>', 0, CardModules, "AT88SC1608 memory card"},
};

QString byteHex(char b) {
    return QStringLiteral("%1").arg(quint8(b), 2, 16, QLatin1Char('0')).toUpper();
}

QString printable(const QByteArray &bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        text += (c >= 0x20 && c < 0x7F) ? QLatin1Char(c) : QLatin1Char('.');
    return text;
}

QString trackReadName(const QByteArray &body) {
    if (body.size() < 4)
        return {};
    static const char *const kTracks[] = {"none", "1", "2", "3", "1+2", "2+3", "1+3", "1+2+3"};
    const char mode = body.at(2);
    const char tracks = body.at(3);
    if (tracks < '0' || tracks > '7' || (mode != '0' && mode != '1'))
        return {};
    return QStringLiteral("Read track %1, %2")
        .arg(QLatin1String(kTracks[tracks - '0']),
             mode == '0' ? QStringLiteral("ASCII") : QStringLiteral("BIN"));
}

// The result byte shared by most card and device commands.
QString resultWord(char result) {
    switch (result) {
    case 'Y':
        return QStringLiteral("Y: done");
    case 'N':
        return QStringLiteral("N: failed");
    case 'E':
        return QStringLiteral("E: no card in the reader");
    case 'W':
        return QStringLiteral("W: card not at the IC card operation position");
    default:
        return {};
    }
}

QString trackWords(const QByteArray &reply) {
    magnetic::TrackSections sections;
    if (!magnetic::parseTrackReply(reply, int(reply.size()), sections))
        return {};
    QStringList words;
    for (int t = 0; t < 3; ++t) {
        const auto &s = sections[size_t(t)];
        QString what;
        switch (s.status) {
        case magnetic::kTrackRead:
            what = QStringLiteral("read");
            break;
        case magnetic::kTrackError: {
            const QString detail = magnetic::trackErrorDetail(s.errorCode());
            what = detail.isEmpty() ? QStringLiteral("error %1").arg(byteHex(char(s.errorCode())))
                                    : detail;
            break;
        }
        case magnetic::kTrackNotRead:
            what = QStringLiteral("not read");
            break;
        default:
            continue;
        }
        words << QStringLiteral("Track %1: %2").arg(t + 1).arg(what);
    }
    return words.join(QStringLiteral("; "));
}

// What a complete positive reply says, by command.
QString positiveWords(const QString &model, const QByteArray &body, const QByteArray &reply) {
    const char cm = reader::replyByte(body, 0);
    const char pm = reader::replyByte(body, 1);
    const qsizetype length = reply.size();
    if (cm == '0' && pm == ':')
        return reader::serialNumberText(reply, int(length));
    if (cm == '0')
        return reader::resetReplyText(reply, int(length));
    if (cm == '1' && pm == '0') {
        const auto box = reader::statusBox(model, reply);
        return box ? QString(box->text).replace(QStringLiteral("\r\n"), QStringLiteral("; "))
                   : QString();
    }
    if (cm == '1' && pm == '1') {
        const auto *type =
            reader::findCardType(reader::replyByte(reply, 2), reader::replyByte(reply, 3));
        return type ? QString::fromUtf8(type->message).trimmed() : QString();
    }
    if (cm == 'E' && pm == '0')
        return trackWords(reply);
    if (cm == '2' && reader::replyByte(reply, 2) == 'W')
        return QStringLiteral("card not at the IC card operation position");
    return resultWord(reader::replyByte(reply, 2));
}

DecodedExchange decodeReader(const link::ExchangeRecord &e) {
    DecodedExchange d;
    const QByteArray &frame = e.sent;
    // STX LH LL body ETX BCC; a frame of another shape is shown as bytes.
    QByteArray body;
    if (frame.size() >= 5 && frame.at(0) == 0x02) {
        const int n = quint8(frame.at(1)) * 256 + quint8(frame.at(2));
        if (n + 5 == frame.size())
            body = frame.mid(3, n);
    }
    d.command = readerCommandName(e.model, body);
    if (d.command.isEmpty()) {
        d.known = false;
        d.command =
            QStringLiteral("Unknown command %1").arg(link::hexText(body.isEmpty() ? frame : body));
    }

    if (e.answer.isEmpty()) {
        d.status = QStringLiteral("No answer");
        return d;
    }
    if (e.answer.at(0) != kAck) {
        d.status = e.answer.at(0) == kNak
                       ? QStringLiteral("NAK: the reader refused the frame")
                       : QStringLiteral("Answer %1 instead of ACK").arg(byteHex(e.answer.at(0)));
        return d;
    }
    if (e.reply.size() < 3) {
        d.status = QStringLiteral("ACK, then no reply");
        return d;
    }
    const int need = quint8(e.reply.at(1)) * 256 + quint8(e.reply.at(2)) + 2;
    const QByteArray reply = e.reply.mid(3); // body, ETX, BCC as the exchange returns it
    if (reply.size() < need || reply.size() < 3) {
        d.status = QStringLiteral("Reply cut short: %1 of %2 bytes").arg(reply.size()).arg(need);
        d.dataHex = link::hexText(reply);
        d.dataText = printable(reply);
        return d;
    }
    quint8 bcc = 0;
    for (qsizetype i = 0; i + 1 < e.reply.size(); ++i)
        bcc ^= quint8(e.reply.at(i));
    const QByteArray data = reply.mid(2, reply.size() - 4);
    d.dataHex = link::hexText(data);
    d.dataText = printable(data);
    if (bcc != quint8(e.reply.back())) {
        d.status = QStringLiteral("Reply BCC wrong");
        return d;
    }
    if (reply.at(0) == 'N') {
        const quint8 code = quint8(reader::replyByte(reply, 2));
        const auto message = link::readerErrorMessage(code);
        d.status = QStringLiteral("N: negative, error %1").arg(byteHex(char(code)));
        if (message)
            d.status += QStringLiteral(": ") + message->text.section(QStringLiteral("\r\n"), 0, 0);
        return d;
    }
    d.status = reply.at(0) == 'P' ? QStringLiteral("P: positive")
                                  : QStringLiteral("%1: reply").arg(printable(reply.left(1)));
    if (d.known) {
        const QString words = positiveWords(e.model, body, reply);
        if (!words.isEmpty())
            d.status += QStringLiteral("; ") + words;
    }
    return d;
}

QString statusWords(const QByteArray &chars, const QStringList &texts) {
    QString words = QStringLiteral("Status ") + QString::fromLatin1(chars);
    if (!texts.isEmpty())
        words += QStringLiteral(": ") + texts.join(QStringLiteral("; "));
    return words;
}

// KVR-820 status replies: STX "S" "F" characters ETX BCC.
QString status820Words(const QByteArray &bytes) {
    if (bytes.size() < 6 || bytes.at(0) != 0x02 || bytes.at(1) != 'S' || bytes.at(2) != 'F')
        return {};
    const QByteArray chars = bytes.mid(3, bytes.size() - 5);
    dispenser::Decoded820 decoded;
    if (chars.size() == 3)
        decoded = dispenser::DecodeStatus820Short(chars, {});
    else if (chars.size() == 4)
        decoded = dispenser::DecodeStatus820(chars, {});
    else
        return QStringLiteral("Status %1").arg(QString::fromLatin1(chars));
    return statusWords(chars, decoded.texts);
}

DecodedExchange decodeDispenser(const link::ExchangeRecord &e) {
    DecodedExchange d;
    const bool is840 = e.kind == link::LineKind::Dispenser840;
    if (e.sent.isEmpty()) {
        // Bytes after the command's answer: the KVR-820's status reply.
        d.command = QStringLiteral("(reply after ENQ)");
        d.status = status820Words(e.answer);
        if (d.status.isEmpty())
            d.status = QStringLiteral("Bytes after the answer");
        d.dataHex = link::hexText(e.answer);
        d.dataText = printable(e.answer);
        return d;
    }
    // STX [ADDH ADDL] text ETX BCC
    const int skip = is840 ? 3 : 1;
    const QByteArray text =
        e.sent.size() >= skip + 2 ? e.sent.mid(skip, e.sent.size() - skip - 2) : QByteArray();
    d.command = dispenserCommandName(e.kind, text);
    if (d.command.isEmpty()) {
        d.known = false;
        d.command = QStringLiteral("Unknown command %1").arg(link::hexText(e.sent));
    }
    d.dataHex = link::hexText(e.answer);
    d.dataText = printable(e.answer);
    if (e.answer.isEmpty()) {
        d.status = QStringLiteral("No answer");
        return d;
    }
    const char first = e.answer.at(0);
    if (!is840) {
        d.status = first == kAck ? QStringLiteral("ACK: accepted")
                                 : QStringLiteral("Answer %1 instead of ACK").arg(byteHex(first));
        return d;
    }
    const QByteArray address = e.sent.mid(1, 2);
    if (e.answer.size() == 10 && first == kAck && e.answer.mid(4, 2) == address) {
        const QByteArray s1s2 = e.answer.mid(6, 2);
        const auto decoded = dispenser::decodeStatus840Display(s1s2, {});
        d.status = statusWords(s1s2, decoded.texts);
        return d;
    }
    if (e.answer.size() == 3 && e.answer.mid(1, 2) == address) {
        if (first == kAck)
            d.status = QStringLiteral("ACK: accepted");
        else if (first == kNak)
            d.status = QStringLiteral("NAK: refused");
    }
    if (d.status.isEmpty())
        d.status = QStringLiteral("Unexpected answer (%1 bytes)").arg(e.answer.size());
    return d;
}

} // namespace

QString readerCommandName(const QString &model, const QByteArray &body) {
    if (body.size() < 2)
        return {};
    const char cm = body.at(0);
    const char pm = body.at(1);
    if (cm == 'E' && pm == '0')
        return trackReadName(body);
    const unsigned bit = model.isEmpty() ? AllModels : modelBit(model);
    for (const auto &c : kReaderCommands) {
        if (c.cm != cm || (c.pm != 0 && c.pm != pm) || (c.models & bit) == 0)
            continue;
        QString name = QString::fromLatin1(c.name);
        if (c.pm == 0)
            name += QStringLiteral(" (PM %1)").arg(byteHex(pm));
        return name;
    }
    return {};
}

QString dispenserCommandName(link::LineKind kind, const QByteArray &text) {
    struct Row {
        const char *text;
        const char *name;
    };
    static const Row k820[] = {
        {"RS", "Reset"},
        {"RF", "Status query"},
        {"AP", "Full status query"},
        {"DC", "Dispense"},
        {"FC0", "Dispense out of the door"},
        {"FC1", "Dispense, stop at sensor 3"},
        {"FC6", "Dispense, stop at sensor 2"},
        {"FC2", "Dispense, leave sensor 3"},
        {"FC3", "Dispense, leave sensor 2"},
        {"FC7", "Dispense, stop at sensor 1"},
        {"FC4", "Dispense to the door"},
        {"CP", "Capture"},
        {"SI", "Door status query"},
        {"IN0", "Door set: Prohibit the card in"},
        {"IN1", "Door set: Allow the card in and move card to Error Card Bin"},
        {"IN2", "Door set: Allow the card in and move card To Expansibility"},
        {"CS0", "Change baud rate to 1200"},
        {"CS1", "Change baud rate to 2400"},
        {"CS2", "Change baud rate to 4800"},
        {"CS3", "Change baud rate to 9600"},
        {"CS4", "Change baud rate to 19200"},
        {"CS5", "Change baud rate to 38400"},
    };
    static const Row k840[] = {
        {"RS", "Reset"},
        {"AP", "Status query"},
        {"DC", "Dispense"},
        {"IP", "Allow card pre-dispense"},
        {"IE", "Prohibit card pre-dispense"},
        {"CSB0", "Change baud rate to 1200"},
        {"CSB1", "Change baud rate to 2400"},
        {"CSB2", "Change baud rate to 4800"},
        {"CSB3", "Change baud rate to 9600"},
        {"CSB4", "Change baud rate to 19200"},
        {"CSB5", "Change baud rate to 38400"},
    };
    const bool is840 = kind == link::LineKind::Dispenser840;
    for (const auto &row : is840 ? std::span<const Row>(k840) : std::span<const Row>(k820))
        if (text == row.text)
            return QString::fromLatin1(row.name);
    return {};
}

DecodedExchange decodeExchange(const link::ExchangeRecord &exchange) {
    DecodedExchange d = exchange.kind == link::LineKind::Reader ? decodeReader(exchange)
                                                                : decodeDispenser(exchange);
    d.direction = link::captureDirection(exchange);
    return d;
}

link::DecodedFields decodedFields(const DecodedExchange &decoded) {
    return {{QStringLiteral("command"), decoded.command},
            {QStringLiteral("status"), decoded.status},
            {QStringLiteral("data"), decoded.dataHex},
            {QStringLiteral("text"), decoded.dataText}};
}

} // namespace talvex::traffic
