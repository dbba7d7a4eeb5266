#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>

namespace talvex::link {
class ReaderLinkContext;
class SerialComm;
} // namespace talvex::link

namespace talvex::shell {

// The status query (command "1", parameter "0") that both probes send.
QByteArray statusQueryFrame();

// The four rates the scan tries at each port, in order, and the seven the
// settings dialog accepts.
inline constexpr int kScanBaudRates[] = {9600, 19200, 38400, 57600};
inline constexpr int kAcceptedBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600};

// Closes the port if it is open, moves it to the port number, sets the rate
// (no parity, 8 data bits, 1 stop bit) and opens it. Returns 0, or the number
// of the port error that stopped it midway; the port is left as the error left it.
int reopenPort(link::SerialComm &port, int portNumber, int baud);

// Sends the status query on the reader's port after the settings dialog opened
// it, logs the traffic like an exchange does and judges the reply: "OK", the
// empty text (a reader that answered with some other status, still usable) or
// "ERROR". A negative reply shows its error code's box and sets
// negativeProbeReply, so that the caller does not pile a second box on it.
// Port errors (a line that goes away midway) escape as link::SerialError.
// Awaited: the window answers while the reader is waited for; closing the
// port abandons it.
QCoro::Task<QString> ProbeReaderAfterSetup(link::ReaderLinkContext &reader,
                                           bool &negativeProbeReply);

// Whether the reply body's third byte says a reader understood the status query.
bool isReaderStatusByte(quint8 byte);

// Byte index of bytes, or 0 past its end (as a zeroed reply buffer reads).
quint8 byteAt(const QByteArray &bytes, qsizetype index);

} // namespace talvex::shell
