#pragma once

#include <QDialog>

class QRadioButton;

namespace talvex::dispenser {

// The KVR-820 door codes "0", "1", "2" and the texts both door dialogs show.
QString doorCodeText(char code);

// "Door Status": shows the current door setting.
class KVR820DoorSiForm final : public QDialog {
    Q_OBJECT
public:
    KVR820DoorSiForm(char code, QWidget *parent = nullptr);
};

// "Door Set": one option per door code, the current one preselected. "OK"
// returns the code of the chosen option; "Cancel" returns none.
class KVR820DoorSetForm final : public QDialog {
    Q_OBJECT
public:
    KVR820DoorSetForm(char current, QWidget *parent = nullptr);

    char chosenCode() const { return m_chosen; } // '\0' when none was confirmed

    void OKButton_Click();
    void CancelButton_Click();

private:
    QRadioButton *m_options[3] = {};
    char m_chosen = '\0';
};

} // namespace talvex::dispenser
