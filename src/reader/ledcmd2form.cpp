#include "ledcmd2form.h"

#include "glittertimes.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace talvex::reader {

LEDCMD2FORM::LEDCMD2FORM(QWidget *parent)
    : OptionForm(QStringLiteral("LEDCMD2FORM"), QStringLiteral("Indicator light glitter operation"),
                 parent) {
    auto *grid = new QGridLayout;
    m_layout->addLayout(grid);
    m_times = new GlitterTimes(this, grid, 0);
    addButtons();
}

void LEDCMD2FORM::okClicked() {
    if (!m_times->accept())
        return;
    m_on = m_times->onTime();
    m_off = m_times->offTime();
    accept();
}

} // namespace talvex::reader
