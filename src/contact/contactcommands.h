#pragma once

#include "link/apdutext.h"
#include "link/bodyexchange.h"
#include "link/messages.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contact {

// The command text of both APDU windows.
using link::apduFaultText;
using link::apduLength;
using link::ApduText;
using link::parseApduText;

// Command codes of the contact IC module.
constexpr char kSlotPower = '3'; // 33h: power of the card in the slot
constexpr char kSlotCpu = '7';   // 37h: CPU card in the slot
constexpr char kSam = '=';       // 3Dh: SAM reset and APDU
constexpr char kSamPower = 'J';  // 4Ah: SAM power

// The transmission protocol a reset settled on, for the slot card and for the
// SAMs. They belong to the program, not to a window: an APDU sent after the
// window was closed and opened again still announces the protocol of the last
// successful reset. 0 is T=0, 1 is T=1.
struct ProtocolFlags {
    qint16 slotCard = 0;
    qint16 sam = 0;
};
ProtocolFlags &protocolFlags();
// The protocol byte of an APDU command: "1" for T=0, "2" for T=1.
char protocolByte(qint16 flag);

// The socket code of a SAM as the socket box names it: "SAM 1" ... "SAM 14"
// give 30h ... 3Dh. The list offers eight sockets, but the reader takes the
// higher codes too, so a typed "SAM 12" is sent.
std::optional<quint8> samSocketCode(const QString &text);

// The longest APDUs the length byte allows: the slot-card body carries four
// bytes besides the APDU, the SAM body five.
constexpr int kMaxSlotApdu = 255 - 4;
constexpr int kMaxSamApdu = 255 - 5;

// Bodies.
QByteArray slotPowerBody(bool on);
QByteArray coldResetBody(bool isoMode);
QByteArray warmResetBody();
QByteArray slotApduBody(qint16 protocolFlag, const QByteArray &apdu);
QByteArray samResetBody(quint8 voltage, quint8 socket, bool emv);
QByteArray samApduBody(qint16 protocolFlag, quint8 socket, const QByteArray &apdu);
QByteArray samPowerOffBody();

// What one status byte of an operation's reply shows. Empty texts show no box.
struct StatusTexts {
    QString title;
    QString failureTitle = {}; // the title of "N", "E" and "W" where it differs (resets)
    QString y = {}, z = {}, n = {}, e = {}, w = {};
};
std::optional<link::MessageRequest> statusBox(const StatusTexts &texts, quint8 status);

namespace texts {
const StatusTexts &powerOn();
const StatusTexts &powerOff(); // of the slot card, on the tab and in "CPU Card"
const StatusTexts &cpuReset(); // cold and warm
const StatusTexts &apdu();     // slot card and SAM
const StatusTexts &samReset();
const StatusTexts &samPowerOff();
} // namespace texts

using link::exchangeBody;
using link::replyHex;

// The status byte at index, 0 when the reply is too short to hold it.
quint8 statusAt(const QByteArray &reply, int index);

// Shows the box of the status, if it has one.
void reportStatus(const StatusTexts &texts, quint8 status);

using link::portReady;

} // namespace talvex::contact
