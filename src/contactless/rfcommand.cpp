#include "rfcommand.h"

#include "link/messages.h"

namespace talvex::contactless {

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

std::optional<quint32> valueBlockAmount(const QByteArray &reply) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) {
        if (replyByte(reply, 9 + i) != quint8(~replyByte(reply, 5 + i)))
            return std::nullopt;
        value = (value << 8) | replyByte(reply, 5 + i);
    }
    return value;
}

} // namespace talvex::contactless
