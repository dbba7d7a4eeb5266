#include "sim/memorychip.h"

namespace talvex::sim {
namespace {

struct TypeRow {
    MemoryCardType type;
    const char *name;
    const char *detection;
};

constexpr TypeRow kTypes[kMemoryCardTypeCount] = {
    {MemoryCardType::Sle4442, "SLE4442", "30"},
    {MemoryCardType::Sle4428, "SLE4428", "31"},
    {MemoryCardType::At24c01, "24C01", "20"},
    {MemoryCardType::At24c02, "24C02", "21"},
    {MemoryCardType::At24c04, "24C04", "22"},
    {MemoryCardType::At24c08, "24C08", "23"},
    {MemoryCardType::At24c16, "24C16", "24"},
    {MemoryCardType::At24c32, "24C32", "25"},
    {MemoryCardType::At24c64, "24C64", "26"},
    {MemoryCardType::At88sc1604, "AT88SC1604", "41"},
    {MemoryCardType::At88sc1608, "AT88SC1608", "43"},
    {MemoryCardType::At45db041, "AT45D041", "42"},
    {MemoryCardType::At88sc102, "AT88SC102", "40"},
};

const TypeRow &rowOf(MemoryCardType type) {
    return kTypes[int(type)];
}

} // namespace

QString memoryCardTypeName(MemoryCardType type) {
    return QString::fromLatin1(rowOf(type).name);
}

QByteArray memoryCardTypeCode(MemoryCardType type) {
    return QByteArray(rowOf(type).detection);
}

MemoryChip blankMemoryChip(MemoryCardType type) {
    switch (type) {
    case MemoryCardType::Sle4442:
        return Sle4442Card::blank();
    case MemoryCardType::Sle4428:
        return Sle4428Card::blank();
    case MemoryCardType::At88sc1604:
        return At88sc1604Card::blank();
    case MemoryCardType::At88sc1608:
        return At88sc1608Card::blank();
    case MemoryCardType::At45db041:
        return At45db041Card{};
    case MemoryCardType::At88sc102:
        return At88sc102Card::blank();
    default:
        return At24cCard::blank(int(type) - int(MemoryCardType::At24c01));
    }
}

std::optional<MemoryCardType> memoryCardTypeOf(const MemoryChip &chip) {
    switch (chip.index()) {
    case 1:
        return MemoryCardType::Sle4442;
    case 2:
        return MemoryCardType::Sle4428;
    case 3:
        return MemoryCardType(int(MemoryCardType::At24c01) + std::get<At24cCard>(chip).type);
    case 4:
        return MemoryCardType::At88sc1604;
    case 5:
        return MemoryCardType::At88sc1608;
    case 6:
        return MemoryCardType::At45db041;
    case 7:
        return MemoryCardType::At88sc102;
    default:
        return std::nullopt;
    }
}

} // namespace talvex::sim
