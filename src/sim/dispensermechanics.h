#pragma once

#include <QtGlobal>

namespace talvex::sim {

// What the stacker holds and how long the motors take. The delays can be cut
// short for endurance runs; the sequence of states stays the same.
struct DispenserMechanics {
    int stackerCards = 300;
    int preEmptyBelow = 20; // the pre-empty sensor sees fewer cards than this
    int binCapacity = 60;   // KVR-820 capture bin
    int dispenseMs = 800;
    int captureMs = 600;
    bool holdAtMouth = true; // KVR-840: a dispensed card waits to be taken
    bool operator==(const DispenserMechanics &) const = default;
};

// A dispenser misbehaviour. Silence and Nak concern the next frame only, Jam
// the next card movement; a clip card stays until the dispenser is reset.
enum class DispenserFault { None, Silence, Nak, Jam, ClipCard };

} // namespace talvex::sim
