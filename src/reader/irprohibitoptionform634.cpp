#include "irprohibitoptionform634.h"

namespace talvex::reader {

IRProhibitOptionForm634::IRProhibitOptionForm634(QWidget *parent)
    : OptionForm(QStringLiteral("IRProhibitOptionForm634"), QStringLiteral("Enter Control"),
                 parent) {
    QGroupBox *frame = addFrame(QStringLiteral(""));
    addOption(frame, 1, QStringLiteral("Prohibit cards in"));
    addOption(frame, 2, QStringLiteral("Permit cards in"));
    addButtons();
}

void IRProhibitOptionForm634::okClicked() {
    m_value = checkedOption(1, 2);
    accept();
}

} // namespace talvex::reader
