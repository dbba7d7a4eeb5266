#include "sensorstateform690.h"

#include "readerreplies.h"
#include "sensorrows.h"

namespace talvex::reader {

SensorStateForm690::SensorStateForm690(const QByteArray &snapshot, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SensorStateForm690"));
    QStringList captions;
    for (int i = 0; i < 6; ++i)
        captions << QStringLiteral("Sensor %1 (PSS%1)").arg(i);
    captions << QStringLiteral("Mechanical Shutter") << QStringLiteral("Sensor in front of Reader");
    const QStringList values = sensorValues690(snapshot);
    buildSensorRows(*this, captions, values);
}

} // namespace talvex::reader
