#include "bodyexchange.h"

#include "exchange.h"
#include "frame.h"
#include "messages.h"
#include "replycodes.h"

namespace talvex::link {

std::optional<QByteArray> exchangeBody(ReaderLinkContext &reader, const QByteArray &body) {
    const QByteArray frame = buildReaderFrame(body);
    QByteArray reply = newReplyBuffer();
    qint16 replyLength = 0;
    const ReplyStatus status =
        SendReaderCommand(reader, frame, int(frame.size()), reply, replyLength);
    if (status != kReplyOk || replyLength <= 0)
        return std::nullopt;
    return reply.left(replyLength);
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
