#pragma once

#include <QList>
#include <QString>
#include <array>

namespace talvex::shell {

// One row of the reader model table. "Ver" and "416" both name the KVR-416,
// whose older firmware answers the reset with a version text only.
struct ReaderModelKey {
    QString key;            // searched, case-sensitively, in the reset reply's data
    QString name;           // shown in TypeLabel
    int picture;            // index into TypeImage; -1: the model has no picture
    QString ejectCaption;   // caption of IRPOP
    bool setsReadingMethod; // detection also sets the reading method (KVR-523)
};

// The keys in the order detection searches them.
const QList<ReaderModelKey> &readerModelKeys();

// The rows whose key a reset reply's data holds, in search order. Keys are not
// exclusive: detection applies every row found, so the last one names the model.
QList<ReaderModelKey> modelKeysFound(const QString &replyData);

// The six model names in the column order of the layout table.
const QList<QString> &modelNames();
int modelColumn(const QString &name); // -1 for a name outside the table

enum class LayoutCell {
    On,               // enabled (or shown, for a visibility row)
    Off,              // disabled (or hidden)
    ByUploadCheckBox, // KVR-523: decided by "Permit Initiative Uploading"
};

struct LayoutRow {
    QString control; // objectName of the control
    bool visibility; // the cells say shown/hidden rather than enabled/disabled
    std::array<LayoutCell, 6> cells;
};

// The window layout by model, one row per control the model decides.
const QList<LayoutRow> &modelLayout();

} // namespace talvex::shell
