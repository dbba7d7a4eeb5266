#include "popoptionform638.h"

#include <QRadioButton>

namespace talvex::reader {

PopOptionForm638::PopOptionForm638(QWidget *parent)
    : ChoiceForm(QStringLiteral("PopOptionForm638"), QStringLiteral("Eject Card"), parent) {
    QGroupBox *frame = addFrame(QString());
    addOption(frame, 1, QStringLiteral("Stop at the front"));
    addOption(frame, 2, QStringLiteral("Stop at the front,hold the card"));
    addButtons();
}

void PopOptionForm638::okClicked() {
    m_value = option(1)->isChecked() ? 1 : 2;
    accept();
}

} // namespace talvex::reader
