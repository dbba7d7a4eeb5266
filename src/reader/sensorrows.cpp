#include "sensorrows.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace talvex::reader {

void buildSensorRows(QDialog &dialog, const QStringList &captions, const QStringList &values) {
    dialog.setWindowTitle(QStringLiteral("Auto test the status of the sensor"));
    auto *grid = new QGridLayout(&dialog);
    for (int i = 0; i < captions.size(); ++i) {
        auto *caption = new QLabel(captions.at(i), &dialog);
        caption->setObjectName(QStringLiteral("CaptionLabel_%1").arg(i));
        auto *value = new QLabel(values.value(i), &dialog);
        value->setObjectName(QStringLiteral("ValueLabel_%1").arg(i));
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        value->setMinimumWidth(200);
        grid->addWidget(caption, i, 0);
        grid->addWidget(value, i, 1);
    }
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    grid->addWidget(ok, int(captions.size()), 1, Qt::AlignRight);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
}

} // namespace talvex::reader
