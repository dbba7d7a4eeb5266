#pragma once

#include <QByteArray>

namespace talvex::sim {

class ReaderDevice;

// The reply body a reader gives to a command body (CM, PM, data). One function
// per command code; later features add their codes to the table.
using ReaderCommand = QByteArray (*)(ReaderDevice &reader, const QByteArray &body);

// The function for command code cm, or nullptr when the reader does not know it.
ReaderCommand findReaderCommand(char cm);

// "N", PM, code: the negative reply.
QByteArray negativeReply(const QByteArray &body, quint8 code);

namespace errorcode {
constexpr quint8 kUndefinedCommand = 0x00;
constexpr quint8 kParameterWrong = 0x01;
constexpr quint8 kCannotExecute = 0x02;
} // namespace errorcode

} // namespace talvex::sim
