#include "ledcmd1form.h"

namespace talvex::reader {

LEDCMD1FORM::LEDCMD1FORM(QWidget *parent)
    : ChoiceForm(QStringLiteral("LEDCMD1FORM"), QStringLiteral("Shutter indicator light operation"),
                 parent) {
    QGroupBox *frame = addFrame(QStringLiteral("Light Operation"));
    addOption(frame, 1, QStringLiteral("Indicator light on"));
    addOption(frame, 2, QStringLiteral("Indicator light off"));
    addButtons();
}

} // namespace talvex::reader
