#include "resetoptionform638.h"

namespace talvex::reader {

ResetOptionForm638::ResetOptionForm638(QWidget *parent)
    : ChoiceForm(QStringLiteral("ResetOptionForm638"), QStringLiteral("Reader Reset"), parent) {
    QGroupBox *frame = addFrame(QStringLiteral("Reset Option"));
    addOption(frame, 1, QStringLiteral("Reset Without Eject"));
    addOption(frame, 2, QStringLiteral("Reset and Eject to Front"));
    addButtons();
}

} // namespace talvex::reader
