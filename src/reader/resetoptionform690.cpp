#include "resetoptionform690.h"

namespace talvex::reader {

ResetOptionForm690::ResetOptionForm690(QWidget *parent)
    : ChoiceForm(QStringLiteral("ResetOptionForm690"), QStringLiteral("Reader Reset"), parent) {
    QGroupBox *frame = addFrame(QStringLiteral("Reset Option"));
    addOption(frame, 1, QStringLiteral("Reset Without Eject"));
    addOption(frame, 2, QStringLiteral("Reset and Eject to Front"));
    addOption(frame, 3, QStringLiteral("Reset and Eject to Rear"));
    addButtons();
}

} // namespace talvex::reader
