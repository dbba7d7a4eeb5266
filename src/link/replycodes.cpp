#include "replycodes.h"

#include "messages.h"

namespace talvex::link {

QString text::communicationError() {
    return QStringLiteral("Communication Error\r\n"
                          "Possible causes:\r\n"
                          "1)Communication setup error\r\n"
                          "2)Wrong model selected\r\n"
                          "3)No connected\r\n"
                          "4)No power on unit");
}

std::optional<ReaderErrorMessage> readerErrorMessage(quint8 code) {
    const QString error = QStringLiteral("Error");
    switch (code) {
    case 0x00:
        return ReaderErrorMessage{error, QStringLiteral("Undefined Command")};
    case 0x01:
        return ReaderErrorMessage{error, QStringLiteral("Parameter Wrong")};
    case 0x02:
        return ReaderErrorMessage{error, QStringLiteral("Command Can Not Be Executed")};
    case 0x04:
        return ReaderErrorMessage{error, QStringLiteral("Command Data Wrong")};
    case 0x05:
        // The reader's supply monitor: the sentence goes in the title, the
        // causes in the box.
        return ReaderErrorMessage{
            QStringLiteral("The input power supply is not in the operation range"),
            QStringLiteral("Possible Causes\r\n"
                           "1>The input power supply is too high(>15V)\r\n"
                           "2>The input power supply is too low(<10.5V)\r\n"
                           "3>The output power is not enough")};
    case 0x06:
        return ReaderErrorMessage{error, QStringLiteral("Not Standard Length Card Inside")};
    case 0x07:
        return ReaderErrorMessage{error, QStringLiteral("Power-off Protection Status")};
    default:
        // 03h and everything from 08h on raise no box; the exchange still
        // returns -3, so the caller knows the command failed.
        return std::nullopt;
    }
}

qint16 ShowReaderError(quint8 code) {
    if (const auto message = readerErrorMessage(code))
        showMessage(message->text, message->title, MsgIcon::Information, MsgButtons::Ok);
    return 1;
}

void showCommunicationError() {
    showCaution(text::communicationError());
}

} // namespace talvex::link
