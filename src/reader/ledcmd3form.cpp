#include "ledcmd3form.h"

namespace talvex::reader {

LEDCMD3FORM::LEDCMD3FORM(QWidget *parent)
    : OptionForm(QStringLiteral("LEDCMD3FORM"), QStringLiteral("Shutter indicator light operation"),
                 parent) {
    QGroupBox *colour = addFrame(QStringLiteral("Indicator light Choice"));
    addOption(colour, 1, QStringLiteral("Red Indicator light"));
    addOption(colour, 2, QStringLiteral("Blue Indicator light"));
    addOption(colour, 3, QStringLiteral("Orange Indicator light"));
    QGroupBox *action = addFrame(QStringLiteral("Indicator light Operation"));
    addOption(action, 4, QStringLiteral("Indicator light off"));
    addOption(action, 5, QStringLiteral("Indicator light on"));
    addButtons();
}

void LEDCMD3FORM::okClicked() {
    m_colour = checkedOption(1, 3);
    const int action = checkedOption(4, 5);
    m_action = action == 0 ? 0 : action - 3;
    accept();
}

} // namespace talvex::reader
