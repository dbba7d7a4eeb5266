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

std::optional<quint8> hexByte(const QString &text) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFF)
        return std::nullopt;
    return quint8(value);
}

} // namespace talvex::contactless
