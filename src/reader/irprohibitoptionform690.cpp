#include "irprohibitoptionform690.h"

#include <QRadioButton>

namespace talvex::reader {

IRProhibitOptionForm690::IRProhibitOptionForm690(int frontEntryState, int rearEntryState,
                                                 QWidget *parent)
    : OptionForm(QStringLiteral("IRProhibitOptionForm690"), QStringLiteral("Enter Control"),
                 parent) {
    QGroupBox *front = addFrame(QStringLiteral("Option 1 (Front)"));
    addOption(front, 1, QStringLiteral("Prohibit the cards in"));
    addOption(front, 2, QStringLiteral("Card in by mag signal and switch"));
    addOption(front, 3, QStringLiteral("Permit all cards in"));
    addOption(front, 4, QStringLiteral("Card in by mag signal"));
    QGroupBox *rear = addFrame(QStringLiteral("Option 2 (Rear)"));
    addOption(rear, 5, QStringLiteral("Permit the card in"));
    addOption(rear, 6, QStringLiteral("Prohibit the card in"));
    addButtons();
    if (frontEntryState >= 1 && frontEntryState <= 4)
        option(frontEntryState)->setChecked(true);
    if (rearEntryState == 1 || rearEntryState == 2)
        option(4 + rearEntryState)->setChecked(true);
}

void IRProhibitOptionForm690::okClicked() {
    m_front = checkedOption(1, 4);
    const int rear = checkedOption(5, 6);
    m_rear = rear == 0 ? 0 : rear - 4;
    accept();
}

} // namespace talvex::reader
