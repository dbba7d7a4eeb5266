// The reader control decoders on any reply a reader might send: status boxes
// per model, sensor labels, entry states, card types, card move boxes, serial
// number and reset text. Each decodes only the bytes it is given and shows only the table's
// lines.
//
// Input: byte 0 picks the model (low three bits) and how the reply length
// relates to the bytes (next two bits); the rest is the reply.

#include "fuzzcheck.h"
#include "reader/readerreplies.h"

#include <QSet>
#include <cstdint>

using namespace talvex::reader;

namespace {

const char *const kModels[] = {"",        "KVR-416", "KVR-523", "KVR-527",
                               "KVR-634", "KVR-638", "KVR-690", "KVR-999"};

void checkStatus(const QString &model, const QByteArray &reply) {
    const auto box = statusBox(model, reply);
    const char b2 = replyByte(reply, 2);
    if (model == QLatin1String("KVR-416") || model == QLatin1String("KVR-527")) {
        FUZZ_CHECK(box.has_value() == (b2 == 'Y' || b2 == 'N'));
        if (box)
            FUZZ_CHECK(box->title == QLatin1String("Reader Status"));
        return;
    }
    const int lines = model == QLatin1String("KVR-690") ? 3 : 2;
    if (model == QLatin1String("KVR-523") || model == QLatin1String("KVR-634") ||
        model == QLatin1String("KVR-638") || lines == 3) {
        FUZZ_CHECK(box.has_value());
        FUZZ_CHECK(box->title == QLatin1String("Status of  Reader"));
        FUZZ_CHECK(box->text.split(QLatin1String("\r\n")).size() == lines);
        return;
    }
    FUZZ_CHECK(!box);
}

void checkSensors(const QByteArray &reply) {
    const QStringList s638 = sensorValues638(reply);
    const QStringList s690 = sensorValues690(reply);
    FUZZ_CHECK(s638.size() == 4 && s690.size() == 8);
    for (int i = 0; i < 4; ++i) {
        const char b = replyByte(reply, i);
        const QString expected = b == '1'   ? QStringLiteral("On")
                                 : b == '0' ? QStringLiteral("Off")
                                            : QString();
        FUZZ_CHECK(s638[i] == expected && s690[i] == expected);
    }
    for (int i = 6; i < 8; ++i) {
        const char b = replyByte(reply, i);
        FUZZ_CHECK(s690[i].isEmpty() == (b != '0' && b != '1'));
    }
}

// The box after a KVR-690 card move: "Clean Reader" (PM "7") has its own
// "Y" and "N"; a done move of any other kind shows nothing.
void checkMoveCard(char pm, char result) {
    const auto box = moveCardBox(pm, result);
    const bool clean = pm == '7' && (result == 'Y' || result == 'N');
    FUZZ_CHECK(box.has_value() == (clean || result == 'N' || result == 'E' || result == 'W'));
    if (!box)
        return;
    FUZZ_CHECK(box->title == (clean ? QLatin1String("Clean Reader") : QLatin1String("Move card")));
    const char *text = clean && result == 'Y'
                           ? "Set 'Clean Reader' Success\r\nPlease insert the Cleaning card"
                       : clean         ? "Set 'Clean Reader' Error"
                       : result == 'N' ? "Move card Error"
                       : result == 'E' ? "No Card In The Reader"
                                       : "The card is not on the IC card operation position";
    FUZZ_CHECK(box->text == QLatin1String(text));
}

void checkTables(const QByteArray &reply) {
    for (int i = 0; i < 5; ++i) {
        const char code = replyByte(reply, i);
        const int front = frontEntryState(code);
        const int rear = rearEntryState(code);
        FUZZ_CHECK(front >= 0 && front <= 4 && rear >= 0 && rear <= 2);
        FUZZ_CHECK((front == 0) == (QByteArray("NIJK").indexOf(code) < 0));
        FUZZ_CHECK((rear == 0) == (code != 'J' && code != 'N'));
    }
    const CardTypeRow *row = findCardType(replyByte(reply, 2), replyByte(reply, 3));
    if (row) {
        FUZZ_CHECK(row->cardClass == replyByte(reply, 2) && row->subtype == replyByte(reply, 3));
        FUZZ_CHECK(row->message != nullptr && row->message[0] != '\0');
    }
    QSet<int> keys;
    for (const CardTypeRow &r : cardTypeTable())
        keys.insert(r.cardClass << 8 | r.subtype);
    FUZZ_CHECK(keys.size() == qsizetype(cardTypeTable().size()));

    checkMoveCard(replyByte(reply, 1), replyByte(reply, 2));

    const ResultTexts texts{"Title", "yes", nullptr, "no card", "not at IC"};
    const char result = replyByte(reply, 2);
    const auto box = resultBox(texts, result);
    FUZZ_CHECK(box.has_value() == (result == 'Y' || result == 'E' || result == 'W'));
}

void checkTexts(const QByteArray &reply, int length) {
    // Nothing beyond the bytes received, whatever the reader claims.
    const QString reset = resetReplyText(reply, length);
    FUZZ_CHECK(reset.size() <= std::max(0, length - 4));
    FUZZ_CHECK(reset.size() <= std::max<qsizetype>(0, reply.size() - 2));
    const QString serial = serialNumberText(reply, length);
    FUZZ_CHECK(serial.size() <= quint8(replyByte(reply, 3)));
    FUZZ_CHECK(serial.size() <= std::max(0, length - 6));
    FUZZ_CHECK(serial == serial.trimmed());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArray reply(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const int n = int(reply.size());
    FUZZ_CHECK(replyByte(reply, -1) == '\0' && replyByte(reply, n) == '\0');
    const int lengths[] = {n, n + 3, 1025, n > 0 ? int(data[1 % size]) : 0};
    checkStatus(QString::fromLatin1(kModels[data[0] & 7]), reply);
    checkSensors(reply);
    checkTables(reply);
    checkTexts(reply, lengths[data[0] >> 3 & 3]);
    return 0;
}
