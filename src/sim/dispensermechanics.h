#pragma once

#include <QtGlobal>

#include <utility>

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

// The one-shot faults armed and not yet used: one for the next frame, one for
// the next card movement. A clip card is the machine's own state.
class ArmedFaults {
public:
    void arm(DispenserFault fault) {
        if (fault == DispenserFault::None) {
            m_frame = DispenserFault::None;
            m_jam = false;
        } else if (fault == DispenserFault::Jam) {
            m_jam = true;
        } else if (fault != DispenserFault::ClipCard) {
            m_frame = fault;
        }
    }
    DispenserFault pending() const {
        if (m_frame != DispenserFault::None)
            return m_frame;
        return m_jam ? DispenserFault::Jam : DispenserFault::None;
    }
    DispenserFault takeFrameFault() { return std::exchange(m_frame, DispenserFault::None); }
    bool takeJam() { return std::exchange(m_jam, false); }

private:
    DispenserFault m_frame = DispenserFault::None;
    bool m_jam = false;
};

} // namespace talvex::sim
