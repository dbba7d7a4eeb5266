#include "combot.h"

namespace talvex::reader {

Combot::Combot(QWidget *parent)
    : ChoiceForm(QStringLiteral("Combot"), QStringLiteral("Setup Reader Baud Rate"), parent) {
    QGroupBox *frame = addFrame(QStringLiteral(""));
    addOption(frame, 4, QStringLiteral("9600 bits/s"));
    addOption(frame, 5, QStringLiteral("19200 bits/s"));
    addOption(frame, 6, QStringLiteral("38400 bits/s"));
    addOption(frame, 1, QStringLiteral("57600 bits/s"));
    addButtons();
}

} // namespace talvex::reader
