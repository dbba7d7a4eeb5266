#include "sim/readercommands.h"

#include "sim/at24c.h"
#include "sim/at45db041.h"
#include "sim/at88sc102.h"
#include "sim/at88sc1604.h"
#include "sim/at88sc1608.h"
#include "sim/contactcpucard.h"
#include "sim/contactlesscard.h"
#include "sim/magneticcard.h"
#include "sim/readercontrol.h"
#include "sim/readerdevice.h"
#include "sim/sle4428.h"
#include "sim/sle4442.h"

#include <utility>

namespace talvex::sim {
namespace {

constexpr std::pair<char, ReaderCommand> kCommands[] = {
    {'0', &resetCommand},        // reset, serial number
    {'1', &statusCommand},       // status, sensors, card type
    {'2', &moveCommand},         // eject and move
    {'/', &entryCommand},        // card entry
    {'.', &stopPositionCommand}, // card stop position
    {'4', &baudCommand},         // reader line speed
    {'E', &magneticCommand},     // track reading, swiped data
    {'F', &shutterLightOrReadMethod},
    {'I', &glitterCommand}, // shutter light blinking
    {'\x80', &colourLightCommand},
    {'\x81', &colourGlitterCommand},
    {'3', &slotPowerCommand}, // power of the card in the slot
    {'7', &slotCpuCommand},   // CPU card in the slot
    {'=', &samCommand},       // SAM reset and APDU
    {'J', &samPowerCommand},  // SAM power
    {'5', &contactlessCommand},
    {'6', &at24cCommand},
    {'8', &sle4442Command},
    {'9', &sle4428Command},
    {':', &at88sc102Command},
    {';', &at88sc1604Command},
    {'<', &at45db041Command},
    {'>', &at88sc1608Command},
};

} // namespace

ReaderCommand findReaderCommand(char cm) {
    for (const auto &[code, fn] : kCommands) {
        if (code == cm)
            return fn;
    }
    return nullptr;
}

QByteArray negativeReply(const QByteArray &body, quint8 code) {
    QByteArray reply("N");
    reply += body.size() > 1 ? body.at(1) : '0';
    reply += char(code);
    return reply;
}

} // namespace talvex::sim
