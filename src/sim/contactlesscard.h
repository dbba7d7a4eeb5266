#pragma once

#include <QByteArray>
#include <QString>

namespace talvex::sim {

class ReaderDevice;

// The chip of a contactless card in the simulated reader's field.
enum class RfChip {
    S50,        // 1 KB: 16 sectors of 4 blocks
    S70,        // 4 KB: 32 sectors of 4 blocks, then 8 sectors of 16 blocks
    Ultralight, // 16 pages of 4 bytes, 7-byte serial number
    CpuTypeA,   // ISO/IEC 14443-4 processor card, type A
    CpuTypeB,   // the same, type B
};

inline constexpr RfChip kAllRfChips[] = {RfChip::S50, RfChip::S70, RfChip::Ultralight,
                                         RfChip::CpuTypeA, RfChip::CpuTypeB};

QString rfChipName(RfChip chip); // "S50 (1 KB)", ...
// What card type detection reports for the chip: "00" S50 ... "05" type B.
QByteArray rfTypeCode(RfChip chip);

// A contactless card with what it remembers between commands. Memory cards
// leave the factory with every sector trailer in the transport configuration:
// key A and key B FFFFFFFFFFFF, access bytes FF 07 80 69.
struct ContactlessCard {
    RfChip chip = RfChip::S50;
    QByteArray uid;    // 4 bytes, 7 for Ultralight; the PUPI of a type B card
    QByteArray memory; // the whole card, block 0 (page 0) first; empty for CPU cards
    // The sector the last key check opened; -1 when none is open.
    int openSector = -1;
    // A processor card polled and not yet deselected takes APDUs.
    bool activated = false;

    static ContactlessCard fresh(RfChip chip);

    bool isMemoryCard() const { return chip == RfChip::S50 || chip == RfChip::S70; }
    bool isTypeA() const { return chip != RfChip::CpuTypeB; }
    int sectorCount() const;
    // Absolute number of block `block` of `sector`, or -1 when the card has no
    // such block.
    int blockNumber(int sector, int block) const;
    static bool isTrailer(int sector, int block) { return block == (sector < 32 ? 3 : 15); }

    bool operator==(const ContactlessCard &) const = default;
};

// The reply body to command code "5" (contactless module).
QByteArray contactlessCommand(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
