#include "ledcmd4form.h"

namespace talvex::reader {

LEDCMD4FORM::LEDCMD4FORM(QWidget *parent) : GlitterForm(QStringLiteral("LEDCMD4FORM"), parent) {
    QGroupBox *colour = addFrame(QStringLiteral("Indicator light Choice"));
    addOption(colour, 1, QStringLiteral("Red Indicator light"));
    addOption(colour, 2, QStringLiteral("Blue Indicator light"));
    addOption(colour, 3, QStringLiteral("Orange Indicator light"));
    addTimes();
}

void LEDCMD4FORM::okClicked() {
    if (!m_times->accept())
        return;
    const int n = checkedOption(1, 3);
    m_colour = n == 0 ? '\0' : char('0' + n - 1);
    accept();
}

} // namespace talvex::reader
