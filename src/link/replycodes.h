#pragma once

#include <QString>
#include <optional>

namespace talvex::link {

// Texts of the reader link, shown exactly as written.
namespace text {
inline const QString Caution = QStringLiteral("Caution");
inline const QString PortSetupFirst = QStringLiteral("Comm. Port Setup First");
inline const QString DataNotEffective = QStringLiteral("Error:Please check the data effective");
QString communicationError(); // the six-line box text
} // namespace text

struct ReaderErrorMessage {
    QString title;
    QString text;
};

// The box a negative reply's error code raises, or nothing (03h, 08h and above).
std::optional<ReaderErrorMessage> readerErrorMessage(quint8 code);

// Shows the box of the error code, information icon, OK; always returns 1.
qint16 ShowReaderError(quint8 code);

void showCommunicationError();

} // namespace talvex::link
