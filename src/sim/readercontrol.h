#pragma once

#include <QByteArray>

namespace talvex::sim {

class ReaderDevice;

// The reader's own settings that its control commands change and its status
// reports: card entry, stop position, serial number, the KVR-523 reading
// method. A new model starts from these defaults.
struct ReaderControlState {
    // Front entry as the KVR-638/690 status reports it: "N" prohibit, "I"
    // magnetic cards only, "J" all cards, "K" by magnetic signal. The KVR-634
    // knows only permit ("J") and prohibit ("N").
    char frontEntry = 'J';
    char rearEntry = 'J'; // KVR-690: "J" permit, "N" prohibit
    char stopPosition = '0';
    QByteArray serialNumber = "KVR20261206001";
    // KVR-523 reading method: data form, upload ("0" initiative uploading
    // on), track code, "0" read while inserting / "1" while pulling.
    char readMode = '0';
    char upload = '1';
    char trackCode = '7';
    char readWhilePulling = '0';
    // The last light command, kept for the simulator's window.
    QByteArray lastLight;

    bool frontEntryAllowed() const { return frontEntry != 'N'; }
    bool rearEntryAllowed() const { return rearEntry != 'N'; }
    bool initiativeUpload() const { return upload == '0'; }
};

namespace errorcode {
constexpr quint8 kCommandDataWrong = 0x04;
} // namespace errorcode

// The reader control commands, one per command code of the table in
// readercommands.cpp. Each checks that the current model has the command.
QByteArray resetCommand(ReaderDevice &reader, const QByteArray &body);        // "0"
QByteArray statusCommand(ReaderDevice &reader, const QByteArray &body);       // "1"
QByteArray moveCommand(ReaderDevice &reader, const QByteArray &body);         // "2"
QByteArray entryCommand(ReaderDevice &reader, const QByteArray &body);        // "/"
QByteArray stopPositionCommand(ReaderDevice &reader, const QByteArray &body); // "."
QByteArray baudCommand(ReaderDevice &reader, const QByteArray &body);         // "4"
// "F": the shutter light on the KVR-638/690, the reading method on the KVR-523.
QByteArray shutterLightOrReadMethod(ReaderDevice &reader, const QByteArray &body);
QByteArray glitterCommand(ReaderDevice &reader, const QByteArray &body);       // "I"
QByteArray colourLightCommand(ReaderDevice &reader, const QByteArray &body);   // 80h
QByteArray colourGlitterCommand(ReaderDevice &reader, const QByteArray &body); // 81h

} // namespace talvex::sim
