#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace talvex::reader {

// Decoders of the reader control replies. A reply is what the exchange hands
// back: body, ETX and BCC, with byte 0 the first body byte and a length that
// counts ETX and BCC. None of these touch a window.

// Reply byte k, or 00h where the reply has none.
char replyByte(const QByteArray &reply, int index);

// The reset reply's data, bytes 2 … length-3, one character per byte.
QString resetReplyText(const QByteArray &reply, int length);

struct MessageBox {
    QString title;
    QString text;
};

// The status box of a model, or nothing where the model's table has no line
// for the reply (KVR-416/527 answering neither "Y" nor "N", or no model).
std::optional<MessageBox> statusBox(const QString &model, const QByteArray &reply);

// Value labels of the sensor windows: "On"/"Off" for PSS0…; for the KVR-690
// bytes 6 and 7 the shutter and the card in it. Anything but "0" and "1"
// leaves the label empty.
QStringList sensorValues638(const QByteArray &snapshot);
QStringList sensorValues690(const QByteArray &snapshot);

// Entry state from the silent status query: front from reply byte 3 ("N" 1,
// "I" 2, "J" 3, "K" 4), rear from byte 4 ("J" 1, "N" 2); 0 for another code,
// which leaves the state as it was.
int frontEntryState(char code);
int rearEntryState(char code);

// Card type detection: what the reader named and which tab and option of the
// window show that card.
struct CardTypeRow {
    char cardClass;
    char subtype;
    const char *message;
    enum class Target { None, Tab, RfCardType, TypeA, TypeB, ContactTab } target;
    int tab;   // SSTab1 index, -1 for none
    int index; // RFCARDTYPEOption or SSTab2 index
};
std::span<const CardTypeRow> cardTypeTable();
const CardTypeRow *findCardType(char cardClass, char subtype);

// The serial number of a "Read SN" reply: bytes 4 … 3+n, n at byte 3,
// trimmed of surrounding blanks.
QString serialNumberText(const QByteArray &reply, int length);

// The boxes of a result byte: title and the text for "Y", "N", "E", "W"
// (empty where that value shows nothing).
struct ResultTexts {
    const char *title;
    const char *yes;
    const char *no;
    const char *noCard;
    const char *notAtIc;
};
std::optional<MessageBox> resultBox(const ResultTexts &texts, char result);

// The box after a KVR-690 card move with parameter code pm: "Clean Reader"
// (pm "7") names its own "Y" and "N"; "E", "W" and every other move are
// "Move card" boxes, and a done move shows nothing.
std::optional<MessageBox> moveCardBox(char pm, char result);

} // namespace talvex::reader
