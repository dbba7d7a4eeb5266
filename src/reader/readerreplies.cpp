#include "readerreplies.h"

#include <array>

namespace talvex::reader {
namespace {

struct Line {
    char value;
    const char *text;
};

QString lineFor(std::span<const Line> table, char value) {
    for (const Line &line : table) {
        if (line.value == value)
            return QString::fromUtf8(line.text);
    }
    return {};
}

constexpr Line k523Card[] = {
    {'Y', "Card in the Reader"},
    {'Z', "Card do not Reach the Switch"},
    {'N', "No Card in the Reader"},
};
constexpr Line k523Read[] = {
    {'0', "Operation Success, Can Read"},
    {'1', "Operation Error, Can Read"},
    {'2', "No Operation, Can not Read"},
};
constexpr Line k634Card[] = {
    {'Y', "Card is in the Reader"},
    {'O', "Card is at front side "},
    {'N', "No Card is in the Reader"},
};
constexpr Line k634Entry[] = {
    {'Y', "Permit the card in"},
    {'N', "Prohibit the card in"},
};
constexpr Line k638Card[] = {
    {'F', "There is long card in the reader"},
    {'H', "There is card at the front side"},
    {'I', "There is card at the front card-hold position"},
    {'J', "There is card in the reader"},
    {'K', "There is card at IC card operation position"},
    {'L', "There is card at the rear card-hold position"},
    {'M', "There is card at the rear side"},
    {'N', "No Card In The Reader"},
};
constexpr Line k638Front[] = {
    {'I', "Permit magnetic cards in only from front"},
    {'J', "Permit all cards in from front"},
    {'K', "Permit card-in by mag signal"},
    {'N', "Prohibit the cards in from front"},
};
constexpr Line k690Rear[] = {
    {'J', "Permit all cards in from rear"},
    {'N', "Prohibit the cards in from rear"},
};

const QString kStatusOfReader = QStringLiteral("Status of  Reader");

QString sensorValue(char byte, const char *on, const char *off) {
    if (byte == '1')
        return QString::fromLatin1(on);
    if (byte == '0')
        return QString::fromLatin1(off);
    return {};
}

using T = CardTypeRow::Target;
constexpr CardTypeRow kCardTypes[] = {
    {'N', '0', "No Card In The Reader ", T::None, -1, 0},
    {'N', '1', "Unknow Type", T::None, -1, 0},
    {'N', '2', "The card is not on the IC card operation position上", T::None, -1, 0},
    {'0', '0', "RF S50", T::RfCardType, 1, 0},
    {'0', '1', "RF S70", T::RfCardType, 1, 1},
    {'0', '2', "RF UL", T::RfCardType, 1, 2},
    {'0', '4', "TYPE A CPU", T::TypeA, 2, 0},
    {'0', '5', "TYPE B CPU", T::TypeB, 2, 0},
    {'0', '9', "RF CARD BUT Unknow Type", T::Tab, 1, 0},
    {'1', '0', "CPU Card(T=0)", T::ContactTab, 3, 0},
    {'1', '1', "CPU Card(T=1)", T::ContactTab, 3, 0},
    {'2', '0', "24C01", T::ContactTab, 3, 4},
    {'2', '1', "24C02", T::ContactTab, 3, 4},
    {'2', '2', "24C04", T::ContactTab, 3, 4},
    {'2', '3', "24C08", T::ContactTab, 3, 4},
    {'2', '4', "24C16", T::ContactTab, 3, 4},
    {'2', '5', "24C32", T::ContactTab, 3, 4},
    {'2', '6', "24C64", T::ContactTab, 3, 4},
    {'3', '0', "SLE4442", T::ContactTab, 3, 3},
    {'3', '1', "SLE4428", T::ContactTab, 3, 2},
    {'4', '0', "AT88S102", T::ContactTab, 3, 8},
    {'4', '1', "AT88S1604", T::ContactTab, 3, 5},
    {'4', '2', "AT45D041", T::ContactTab, 3, 7},
    {'4', '3', "AT88S1608", T::ContactTab, 3, 6},
};

} // namespace

char replyByte(const QByteArray &reply, int index) {
    return index >= 0 && index < reply.size() ? reply.at(index) : '\0';
}

QString resetReplyText(const QByteArray &reply, int length) {
    const int count = qMax(0, length - 4);
    return QString::fromLatin1(reply.mid(2, count));
}

std::optional<MessageBox> statusBox(const QString &model, const QByteArray &reply) {
    const char b2 = replyByte(reply, 2);
    const char b3 = replyByte(reply, 3);
    const QString crlf = QStringLiteral("\r\n");
    if (model == QLatin1String("KVR-416") || model == QLatin1String("KVR-527")) {
        const QString title = QStringLiteral("Reader Status");
        if (b2 == 'Y')
            return MessageBox{title, QStringLiteral("One Card In The Reader")};
        if (b2 == 'N')
            return MessageBox{title,
                              QStringLiteral("No card or card reader is not inserted in place")};
        return std::nullopt;
    }
    // Only the KVR-523 lines are trimmed; the KVR-634 keeps its trailing blank.
    if (model == QLatin1String("KVR-523"))
        return MessageBox{kStatusOfReader,
                          lineFor(k523Card, b2).trimmed() + crlf + lineFor(k523Read, b3).trimmed()};
    if (model == QLatin1String("KVR-634"))
        return MessageBox{kStatusOfReader, lineFor(k634Card, b2) + crlf + lineFor(k634Entry, b3)};
    if (model == QLatin1String("KVR-638"))
        return MessageBox{kStatusOfReader, lineFor(k638Card, b2) + crlf + lineFor(k638Front, b3)};
    if (model == QLatin1String("KVR-690"))
        return MessageBox{kStatusOfReader, lineFor(k638Card, b2) + crlf + lineFor(k638Front, b3) +
                                               crlf + lineFor(k690Rear, replyByte(reply, 4))};
    return std::nullopt;
}

QStringList sensorValues638(const QByteArray &snapshot) {
    QStringList values;
    for (int i = 0; i < 4; ++i)
        values << sensorValue(replyByte(snapshot, i), "On", "Off");
    return values;
}

QStringList sensorValues690(const QByteArray &snapshot) {
    QStringList values;
    for (int i = 0; i < 6; ++i)
        values << sensorValue(replyByte(snapshot, i), "On", "Off");
    values << sensorValue(replyByte(snapshot, 6), "Mechanical Shutter is Open",
                          "Mechanical Shutter is Close");
    values << sensorValue(replyByte(snapshot, 7), "One card is in the Shutter",
                          "No card is in the Shutter");
    return values;
}

int frontEntryState(char code) {
    switch (code) {
    case 'N':
        return 1;
    case 'I':
        return 2;
    case 'J':
        return 3;
    case 'K':
        return 4;
    default:
        return 0;
    }
}

int rearEntryState(char code) {
    return code == 'J' ? 1 : code == 'N' ? 2 : 0;
}

std::span<const CardTypeRow> cardTypeTable() {
    return kCardTypes;
}

const CardTypeRow *findCardType(char cardClass, char subtype) {
    for (const CardTypeRow &row : kCardTypes) {
        if (row.cardClass == cardClass && row.subtype == subtype)
            return &row;
    }
    return nullptr;
}

QString serialNumberText(const QByteArray &reply, int length) {
    const int n = static_cast<quint8>(replyByte(reply, 3));
    // Never past the data: the reader's count cannot outrun its own reply.
    const int available = qMax(0, qMin(n, length - 6));
    return QString::fromLatin1(reply.mid(4, available)).trimmed();
}

std::optional<MessageBox> resultBox(const ResultTexts &texts, char result) {
    const char *text = nullptr;
    switch (result) {
    case 'Y':
        text = texts.yes;
        break;
    case 'N':
        text = texts.no;
        break;
    case 'E':
        text = texts.noCard;
        break;
    case 'W':
        text = texts.notAtIc;
        break;
    default:
        break;
    }
    if (!text)
        return std::nullopt;
    return MessageBox{QString::fromUtf8(texts.title), QString::fromUtf8(text)};
}

std::optional<MessageBox> moveCardBox(char pm, char result) {
    static constexpr ResultTexts kMoveCard{"Move card", nullptr, "Move card Error",
                                           "No Card In The Reader",
                                           "The card is not on the IC card operation position"};
    static constexpr ResultTexts kCleanReader{
        "Clean Reader", "Set 'Clean Reader' Success\r\nPlease insert the Cleaning card",
        "Set 'Clean Reader' Error", nullptr, nullptr};
    if (pm == '7' && (result == 'Y' || result == 'N'))
        return resultBox(kCleanReader, result);
    return resultBox(kMoveCard, result);
}

} // namespace talvex::reader
