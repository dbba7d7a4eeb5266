#include "bodyexchange.h"

#include "exchange.h"
#include "frame.h"
#include "messages.h"
#include "replycodes.h"

namespace talvex::link {

QCoro::Task<std::optional<QByteArray>> exchangeBody(ReaderLinkContext &reader, QByteArray body) {
    const QByteArray frame = buildReaderFrame(body);
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;
    const ReplyStatus status =
        co_await SendReaderCommand(reader, frame, int(frame.size()), reply, replyLength);
    if (status != kReplyOk || replyLength <= 0)
        co_return std::nullopt;
    co_return reply.left(replyLength);
}

QString replyHex(const QByteArray &reply, int from) {
    QString out;
    for (qsizetype i = from; i + 2 < reply.size(); ++i)
        out += byteText(quint8(reply.at(i)));
    return out;
}

bool portReady(const ReaderLinkContext &reader) {
    if (reader.portSetUp())
        return true;
    showCaution(text::PortSetupFirst);
    return false;
}

} // namespace talvex::link
