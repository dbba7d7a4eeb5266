#pragma once

#include "sim/at24c.h"
#include "sim/at45db041.h"
#include "sim/at88sc102.h"
#include "sim/at88sc1604.h"
#include "sim/at88sc1608.h"
#include "sim/sle4428.h"
#include "sim/sle4442.h"

#include <QString>
#include <optional>
#include <variant>

namespace talvex::sim {

// The chip of a synchronous memory card, with everything it holds.
using MemoryChip = std::variant<std::monostate, Sle4442Card, Sle4428Card, At24cCard, At88sc1604Card,
                                At88sc1608Card, At45db041Card, At88sc102Card>;

// The memory cards a reader can be given, by the names the program shows.
enum class MemoryCardType {
    Sle4442,
    Sle4428,
    At24c01,
    At24c02,
    At24c04,
    At24c08,
    At24c16,
    At24c32,
    At24c64,
    At88sc1604,
    At88sc1608,
    At45db041,
    At88sc102
};
inline constexpr int kMemoryCardTypeCount = 13;

QString memoryCardTypeName(MemoryCardType type); // "SLE4442", "24C01", "AT45D041", ...
// A fresh card of the type, as it comes from its maker.
MemoryChip blankMemoryChip(MemoryCardType type);
// The type of the chip, or nothing for none.
std::optional<MemoryCardType> memoryCardTypeOf(const MemoryChip &chip);
// Class and subtype bytes the card type detection answers for it ("30" for
// SLE4442, "20" for 24C01 ...).
QByteArray memoryCardTypeCode(MemoryCardType type);

} // namespace talvex::sim
