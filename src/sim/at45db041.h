#pragma once

#include <QByteArray>
#include <QHash>

namespace talvex::sim {

// AT45DB041: 4 Mbit of flash in 2048 pages of 264 bytes, read and written a
// whole page at a time. Pages never written read as erased (FFh).
struct At45db041Card {
    QHash<int, QByteArray> pages; // only the pages written so far

    static constexpr int kPageCount = 2048;
    static constexpr int kPageSize = 264;
    QByteArray page(int number) const;
    bool operator==(const At45db041Card &) const = default;
};

class ReaderDevice;
// CM "<".
QByteArray at45db041Command(ReaderDevice &reader, const QByteArray &body);

} // namespace talvex::sim
