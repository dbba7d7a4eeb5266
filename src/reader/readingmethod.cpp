#include "readingmethod.h"

#include "kvr523setreadtype.h"
#include "readerreplies.h"
#include "readerwindow.h"

#include "link/bodyexchange.h"
#include "link/messages.h"
#include "link/serialcomm.h"
#include "ui/seams.h"

namespace talvex::reader {

QByteArray readingMethodBody(char mode, char upload, char trackCode, char method) {
    QByteArray body("F0");
    body += mode;
    body += upload;
    body += trackCode;
    body += method;
    return body;
}

std::optional<char> askReadingMethod(QWidget *parent) {
    KVR523SetReadType dialog(parent);
    ui::execModal(dialog);
    if (dialog.value() == 0)
        return '0';
    if (dialog.value() == 1)
        return '1';
    return std::nullopt;
}

QCoro::Task<bool> SetMethodOfReading(link::ReaderLinkContext &reader, char mode, char trackCode,
                                     char upload, QWidget *parent) {
    try {
        if (reader.readerPort().PortOpen())
            reader.readerPort().setInBufferCount(0);
    } catch (const link::SerialError &) {
        // A line that went away shows up in the exchange, which reports it.
    }
    const std::optional<char> method = askReadingMethod(parent);
    if (!method)
        co_return false;
    const std::optional<QByteArray> reply =
        co_await link::exchangeBody(reader, readingMethodBody(mode, upload, trackCode, *method));
    if (!reply)
        co_return false;
    const char result = replyByte(*reply, 6);
    if (result == 'N')
        link::showMessage(QStringLiteral("Set the Method of Reading Error"),
                          QStringLiteral("Set the Method of Reading"), link::MsgIcon::Information);
    co_return result == 'Y';
}

} // namespace talvex::reader
