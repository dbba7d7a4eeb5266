#include "sensorstateform638.h"

#include "readerreplies.h"
#include "sensorrows.h"

namespace talvex::reader {

SensorStateForm638::SensorStateForm638(const QByteArray &snapshot, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SensorStateForm638"));
    QStringList captions;
    for (int i = 0; i < 4; ++i)
        captions << QStringLiteral("Sensor %1 (PSS%1)").arg(i);
    const QStringList values = sensorValues638(snapshot);
    buildSensorRows(*this, captions, values);
}

} // namespace talvex::reader
