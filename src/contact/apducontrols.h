#pragma once

#include <QStringList>

class QComboBox;
class QDialog;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace talvex::contact {

// The ready-made commands of both APDU boxes, and the one they start with.
const QStringList &readyApduCommands();
QString initialApduCommand();

// The command boxes, labels and buttons both windows share, laid out alike.
struct ApduControls {
    QLineEdit *atr = nullptr;
    QComboBox *command = nullptr;
    QPlainTextEdit *response = nullptr;
    QPushButton *send = nullptr;
    QPushButton *powerOff = nullptr;
    QPushButton *exit = nullptr;
};
// atrName: the objectName of the ATR box, which differs between the windows.
ApduControls buildApduControls(QDialog *window, QVBoxLayout *layout, const QString &atrName);

} // namespace talvex::contact
