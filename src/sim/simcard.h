#pragma once

#include "sim/contactcpucard.h"
#include "sim/contactlesscard.h"
#include "sim/magneticcard.h"
#include "sim/memorychip.h"

#include <QByteArray>
#include <QString>

namespace talvex::sim {

// What kind of card the simulated reader holds. Later kinds (magnetic tracks,
// contactless S50/S70/Ultralight, type A/B CPU, contact CPU/SAM, memory card
// families) are added here together with the data they carry in SimCard.
enum class CardKind {
    None,  // the reader is empty
    Plain, // a card with nothing the simulator can read from it
    // An ISO 7816 processor card on the contacts.
    ContactCpu,
    Contactless, // S50, S70, Ultralight or a type A/B CPU card: see contactless
    MemoryCard,  // a synchronous memory card: see memory
    Magnetic,    // a card with a magnetic stripe of three tracks
};

// Where the card sits in a motorised reader; readers without a transport only
// know "inside".
enum class CardPlace {
    Inside,     // fully in the reader
    Front,      // at the front side (mouth)
    FrontHold,  // front card-hold position
    IcPosition, // at the IC card operation position
    RearHold,   // rear card-hold position
    Rear,       // at the rear side
    LongCard,   // a card longer than standard inside
    RfPosition, // at the RF card operation position
};

struct SimCard {
    CardKind kind = CardKind::None;
    CardPlace place = CardPlace::Inside;
    // What card type detection reports for this card: class and subtype
    // ("00" S50, "10" CPU T=0, ...); empty for a card it cannot identify.
    QByteArray typeCode = {};
    ContactChip chip{};               // ContactCpu
    ContactlessCard contactless = {}; // what the card holds when kind is Contactless
    MemoryChip memory = {};           // of a MemoryCard
    MagneticCard magnetic = {};       // the stripe of a Magnetic card

    bool present() const { return kind != CardKind::None; }
    bool operator==(const SimCard &) const = default;
};

} // namespace talvex::sim
