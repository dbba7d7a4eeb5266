#pragma once

#include "link/bodyexchange.h"

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <optional>

namespace talvex::contactless {

using link::exchangeBody;
using link::replyHex;

// Reply byte `index`, or 0 past the end of a short reply.
inline quint8 replyByte(const QByteArray &reply, int index) {
    return index >= 0 && index < reply.size() ? quint8(reply.at(index)) : 0;
}

// The status byte at index, as a character ("Y", "N", "0" ...).
inline char statusAt(const QByteArray &reply, int index) {
    return char(replyByte(reply, index));
}

// What one status byte of an operation shows.
struct StatusText {
    char status;
    const char *text;
    const char *title = nullptr; // the operation's title when null
};

// The information box of the status byte, titled `title` unless the row names
// its own; a status no row names shows nothing.
void reportStatus(char status, const QString &title, std::initializer_list<StatusText> rows);

// The amount of a value block read (its bytes from reply index 5 on): bytes
// 5-8 least significant first, when bytes 9-12 are their complement; nothing
// when they are not.
std::optional<quint32> valueBlockAmount(const QByteArray &reply);

} // namespace talvex::contactless
