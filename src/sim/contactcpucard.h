#pragma once

#include "sim/readermodel.h"

#include <QByteArray>
#include <array>

namespace talvex::sim {

class ReaderDevice;
struct SimCard;
enum class CardPlace;

enum class CardProtocol { T0, T1 };

// The processor chip of a contact CPU card or of a SAM.
struct ContactChip {
    CardProtocol protocol = CardProtocol::T0;
    // Powered and reset since the last power off: ready for APDUs.
    bool active = false;

    bool operator==(const ContactChip &) const = default;
};

// The reader's SAM sockets 1 to 8, each with a SAM of its own.
struct SamSocket {
    bool present = true;
    ContactChip chip;

    bool operator==(const SamSocket &) const = default;
};
constexpr int kSamSocketCount = 8;
using SamSockets = std::array<SamSocket, kSamSocketCount>;

// A contact CPU card at a place, in a protocol; card type detection names it
// "CPU Card(T=0)" or "CPU Card(T=1)".
SimCard contactCpuCard(CardProtocol protocol, CardPlace place);

// The motorised readers carry the contact IC module; the others refuse its
// commands as undefined.
bool hasContactIcModule(ReaderModel model);
// Where the contacts touch the chip: the IC position, or anywhere inside a
// reader that does not position its cards. The KVR-690 moves a card to its
// IC position first.
bool atContacts(ReaderModel model, const SimCard &card);

// The answers to reset. Each SAM's names its socket, so that a reply shows
// which SAM answered.
QByteArray slotCardAtr(CardProtocol protocol);
QByteArray samAtr(int socket, CardProtocol protocol);

// Command codes "3" (slot-card power), "7" (slot CPU card: resets, APDU),
// "=" (SAM reset and APDU) and "J" (SAM power).
QByteArray slotPowerCommand(ReaderDevice &reader, const QByteArray &body);
QByteArray slotCpuCommand(ReaderDevice &reader, const QByteArray &body);
QByteArray samCommand(ReaderDevice &reader, const QByteArray &body);
QByteArray samPowerCommand(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
