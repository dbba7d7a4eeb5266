#pragma once

#include <QDialog>

namespace talvex::reader {

// The last sensor query's snapshot of the six sensors, the shutter and the card in the shutter of
// the KVR-690, one row per byte.
class SensorStateForm690 : public QDialog {
    Q_OBJECT
public:
    explicit SensorStateForm690(const QByteArray &snapshot, QWidget *parent = nullptr);
};

} // namespace talvex::reader
