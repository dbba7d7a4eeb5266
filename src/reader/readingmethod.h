#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>

#include <optional>

class QWidget;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::reader {

// "Set the Method of Reading" of the KVR-523: body "F" "0" M U T R with M the
// data form and T the track code of the magnetic tab, U "0" for initiative
// uploading on and "1" for off, R "0" read while inserting, "1" while pulling.
QByteArray readingMethodBody(char mode, char upload, char trackCode, char method);

// Shows KVR523SetReadType; the method's R, or nothing when the user made no
// choice.
std::optional<char> askReadingMethod(QWidget *parent);

// The whole command through the exchange: clears the receive buffer, asks for
// the method, sends, and shows the error box on "N" at reply byte 6. True on
// "Y". A cancelled dialog sends nothing and returns false.
// Awaited: the window answers while the reader is waited for.
QCoro::Task<bool> SetMethodOfReading(link::ReaderLinkContext &reader, char mode, char trackCode,
                                     char upload, QWidget *parent);

} // namespace talvex::reader
