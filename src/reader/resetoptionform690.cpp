#include "resetoptionform690.h"

namespace talvex::reader {

ResetOptionForm690::ResetOptionForm690(QWidget *parent)
    : OptionForm(QStringLiteral("ResetOptionForm690"), QStringLiteral("Reader Reset"), parent) {
    QGroupBox *frame = addFrame(QStringLiteral("Reset Option"));
    addOption(frame, 1, QStringLiteral("Reset Without Eject"));
    addOption(frame, 2, QStringLiteral("Reset and Eject to Front"));
    addOption(frame, 3, QStringLiteral("Reset and Eject to Rear"));
    addButtons();
}

void ResetOptionForm690::okClicked() {
    m_value = checkedOption(1, 3);
    accept();
}

} // namespace talvex::reader
