#pragma once

#include <QByteArray>
#include <QString>
#include <QCoro/QCoroTask>
#include <optional>

namespace talvex::link {

class ReaderLinkContext;

// One exchange of a body that a window laid out itself. The reply (body, ETX
// and BCC) when the exchange succeeded with a non-empty reply; nothing
// otherwise, the exchange having reported. Awaited, as SendReaderCommand.
QCoro::Task<std::optional<QByteArray>> exchangeBody(ReaderLinkContext &reader, QByteArray body);

// Reply bytes from index `from` up to the last body byte (reply length - 3),
// as hexadecimal text without separators ("8E3F21C4").
QString replyHex(const QByteArray &reply, int from);

// The connection check of the card windows' handlers: false, after the
// caution box, when the port is not set up.
bool portReady(const ReaderLinkContext &reader);

} // namespace talvex::link
