#include "cardposition.h"

#include <QRadioButton>

namespace talvex::reader {

CardPosition::CardPosition(int currentStopPosition, int &chosenStopPosition, QWidget *parent)
    : OptionForm(QStringLiteral("CardPosition"),
                 QStringLiteral("Set the card stop position after the operation"), parent) {
    QGroupBox *frame = addFrame(QStringLiteral("Set the card stop position after the operation"));
    const char *captions[] = {"Stop at the front",
                              "Stop at the front,hold the card",
                              "Stop at the RF card operation position",
                              "Stop at the IC card operation position",
                              "Stop at the rear,hold the card",
                              "Stop at the rear"};
    for (int n = 1; n <= 6; ++n) {
        QRadioButton *button = addOption(frame, n, QString::fromLatin1(captions[n - 1]));
        connect(button, &QRadioButton::toggled, this, [n, &chosenStopPosition](bool on) {
            if (on)
                chosenStopPosition = n;
        });
    }
    addButtons();
    if (currentStopPosition >= 1 && currentStopPosition <= 6)
        option(currentStopPosition)->setChecked(true);
}

char CardPosition::parameterCode() const {
    const int n = checkedOption(1, 6);
    return n == 0 ? '\0' : char('0' + n - 1);
}

void CardPosition::okClicked() {
    if (m_okAction)
        m_okAction();
    else
        accept();
}

} // namespace talvex::reader
