#pragma once

#include <QStringList>

class QDialog;

namespace talvex::reader {

// Lays out a sensor window: caption "Auto test the status of the sensor", one
// row per sensor (caption label, value label `ValueLabel_<i>`), and "OK"
// (`Command1`) that closes it.
void buildSensorRows(QDialog &dialog, const QStringList &captions, const QStringList &values);

} // namespace talvex::reader
