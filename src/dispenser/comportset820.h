#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QString>

class QComboBox;
class QPushButton;

namespace talvex::link {
class SerialComm;
}

namespace talvex::dispenser {

// What a dispenser settings dialog needs from the tab whose port it sets up.
class DispenserPortOwner {
public:
    virtual ~DispenserPortOwner() = default;
    virtual link::SerialComm &port() = 0;
    virtual void stopPoll() = 0;
    // The model's detection query on the freshly opened port.
    virtual QCoro::Task<bool> detectDispenser() = 0;
    // The port was closed under a running automatic test: the test ends.
    virtual void portLost() = 0;
    // The tab's caption, and the other tab of the window that holds port
    // open (empty when none does).
    virtual QString tabName() const = 0;
    virtual QString tabHolding(int port) const = 0;
    // The commands of the tab, one at a time on its line.
    virtual link::Operations &operations() = 0;
    // Unlock the model's buttons and start its poll.
    virtual void portSetUp() = 0;
    // The real reason behind a fixed message, for the window's status line.
    virtual void reportCause(const QString &cause) = 0;
};

// The texts in which the two models' dialogs differ.
struct PortDialogTexts {
    QString setupErrorLine; // line 1 of "Card Dispenser not Detected"
    QString noPowerLine;    // line 2
    QString portInUse;      // run-time error 8005
};

// "Communication Setting" of a dispenser: validates the five line
// parameters, (re)opens the model's port and checks that a dispenser answers.
class DispenserPortDialog : public QDialog {
    Q_OBJECT
public:
    QCoro::Task<> Command1_Click(); // "OK"
    void Command2_Click(); // "Cancel"

protected:
    DispenserPortDialog(DispenserPortOwner &owner, PortDialogTexts texts, QWidget *parent);

private:
    bool openPort(int port, const QString &settings);

    DispenserPortOwner &m_owner;
    PortDialogTexts m_texts;
    QComboBox *m_port = nullptr;
    QComboBox *m_baud = nullptr;
    QComboBox *m_parity = nullptr;
    QComboBox *m_dataBits = nullptr;
    QComboBox *m_stopBits = nullptr;
    QPushButton *m_ok = nullptr;
    // The detection runs on the tab's line; closing the dialog abandons it.
    link::Operations m_operations;
};

class ComPortSet820 final : public DispenserPortDialog {
    Q_OBJECT
public:
    explicit ComPortSet820(DispenserPortOwner &owner, QWidget *parent = nullptr);
};

class ComPortSet840 final : public DispenserPortDialog {
    Q_OBJECT
public:
    explicit ComPortSet840(DispenserPortOwner &owner, QWidget *parent = nullptr);
};

// The settings text for a parsed dialog, or empty when a field is not
// accepted; *failed names the first refused field's message.
struct PortChoice {
    int port = 0;
    QString settings; // "9600n81"
    QString failure;  // the caution text of the first field not accepted
};
PortChoice readPortChoice(const QString &port, const QString &baud, const QString &parity,
                          const QString &dataBits, const QString &stopBits);

// What the window's status line says for a serial run-time error on a port:
// the line's own account where it has one (a device gone, no permission, held
// elsewhere), else what the error number means.
QString portErrorCause(const link::SerialComm &port, int errorNumber);

} // namespace talvex::dispenser
