#include "irprohibitoptionform638.h"

#include <QRadioButton>

namespace talvex::reader {

IRProhibitOptionForm638::IRProhibitOptionForm638(int frontEntryState, QWidget *parent)
    : ChoiceForm(QStringLiteral("IRProhibitOptionForm638"), QStringLiteral("Enter Control"),
                 parent) {
    QGroupBox *front = addFrame(QStringLiteral("Front"));
    addOption(front, 1, QStringLiteral("Prohibit the cards in"));
    addOption(front, 2, QStringLiteral("Card in by mag signal and switch"))->setEnabled(false);
    addOption(front, 3, QStringLiteral("Permit all cards in"));
    addButtons();
    if (frontEntryState >= 1 && frontEntryState <= 3)
        option(frontEntryState)->setChecked(true);
}

} // namespace talvex::reader
