#include "resetoptionform638.h"

namespace talvex::reader {

ResetOptionForm638::ResetOptionForm638(QWidget *parent)
    : OptionForm(QStringLiteral("ResetOptionForm638"), QStringLiteral("Reader Reset"), parent) {
    QGroupBox *frame = addFrame(QStringLiteral("Reset Option"));
    addOption(frame, 1, QStringLiteral("Reset Without Eject"));
    addOption(frame, 2, QStringLiteral("Reset and Eject to Front"));
    addButtons();
}

void ResetOptionForm638::okClicked() {
    m_value = checkedOption(1, 2);
    accept();
}

} // namespace talvex::reader
