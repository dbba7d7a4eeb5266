#include "irprohibitoptionform634.h"

namespace talvex::reader {

IRProhibitOptionForm634::IRProhibitOptionForm634(QWidget *parent)
    : ChoiceForm(QStringLiteral("IRProhibitOptionForm634"), QStringLiteral("Enter Control"),
                 parent) {
    QGroupBox *frame = addFrame(QStringLiteral(""));
    addOption(frame, 1, QStringLiteral("Prohibit cards in"));
    addOption(frame, 2, QStringLiteral("Permit cards in"));
    addButtons();
}

} // namespace talvex::reader
