#include "rfcommand.h"

#include "link/exchange.h"
#include "link/frame.h"
#include "link/messages.h"

namespace talvex::contactless {

std::optional<QByteArray> exchangeRf(link::ReaderLinkContext &reader, const QByteArray &body) {
    const QByteArray frame = link::buildReaderFrame(body);
    QByteArray reply = link::newReplyBuffer();
    qint16 length = 0;
    if (link::SendReaderCommand(reader, frame, int(frame.size()), reply, length) !=
            link::kReplyOk ||
        length == 0)
        return std::nullopt;
    return reply.left(length);
}

QString replyHex(const QByteArray &reply, int from) {
    QString text;
    for (qsizetype i = from; i <= reply.size() - 3; ++i)
        text += link::byteText(quint8(reply.at(i)));
    return text;
}

void reportStatus(char status, const QString &title, std::initializer_list<StatusText> rows) {
    for (const StatusText &row : rows) {
        if (row.status == status) {
            link::showMessage(QString::fromLatin1(row.text),
                              row.title ? QString::fromLatin1(row.title) : title,
                              link::MsgIcon::Information);
            return;
        }
    }
}

std::optional<quint8> hexByte(const QString &text) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFF)
        return std::nullopt;
    return quint8(value);
}

} // namespace talvex::contactless
