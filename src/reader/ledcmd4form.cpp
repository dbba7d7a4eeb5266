#include "ledcmd4form.h"

#include "glittertimes.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace talvex::reader {

LEDCMD4FORM::LEDCMD4FORM(QWidget *parent)
    : OptionForm(QStringLiteral("LEDCMD4FORM"), QStringLiteral("Indicator light glitter operation"),
                 parent) {
    QGroupBox *colour = addFrame(QStringLiteral("Indicator light Choice"));
    addOption(colour, 1, QStringLiteral("Red Indicator light"));
    addOption(colour, 2, QStringLiteral("Blue Indicator light"));
    addOption(colour, 3, QStringLiteral("Orange Indicator light"));
    auto *grid = new QGridLayout;
    m_layout->addLayout(grid);
    m_times = new GlitterTimes(this, grid, 0);
    addButtons();
}

void LEDCMD4FORM::okClicked() {
    if (!m_times->accept())
        return;
    const int n = checkedOption(1, 3);
    m_colour = n == 0 ? '\0' : char('0' + n - 1);
    m_on = m_times->onTime();
    m_off = m_times->offTime();
    accept();
}

} // namespace talvex::reader
