#pragma once

#include <QDialog>

namespace talvex::reader {

// The last sensor query's snapshot of the four sensors of the KVR-638, one row per byte.
class SensorStateForm638 : public QDialog {
    Q_OBJECT
public:
    explicit SensorStateForm638(const QByteArray &snapshot, QWidget *parent = nullptr);
};

} // namespace talvex::reader
