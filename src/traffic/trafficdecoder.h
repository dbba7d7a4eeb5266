#pragma once

#include "link/capturefile.h"
#include "link/journal.h"

#include <QString>

namespace talvex::traffic {

// One exchange in words, as the decoded traffic view shows it.
struct DecodedExchange {
    QString direction; // "SD+RD", "SD", "RD"
    QString command;   // "Status query", "Read track 1+2+3, ASCII", or "Unknown command 5A 5A"
    QString status;    // "P: positive; One Card In The Reader", "No answer", "ACK"
    QString dataHex;   // the data bytes of the reply, as hex
    QString dataText;  // the same, printable characters as themselves, others as "."
    bool known = true; // false for a command the tables do not name
};

// Names the command and puts the reply in words, with the decoders the
// windows use for the same replies.
DecodedExchange decodeExchange(const link::ExchangeRecord &exchange);

// The decoded fields a session capture keeps beside the bytes.
link::DecodedFields decodedFields(const DecodedExchange &decoded);

// The name of a command, or an empty text for one the tables do not know.
// Reader: the command body (CM, PM, data) for the given model ("" for any).
QString readerCommandName(const QString &model, const QByteArray &body);
// Dispensers: the command text without the KVR-840 address.
QString dispenserCommandName(link::LineKind kind, const QByteArray &text);

} // namespace talvex::traffic
