#pragma once

#include "comportset820.h"
#include "dispenserlink.h"
#include "dispenserstatus.h"
#include "panelparts.h"

#include "link/serialcomm.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace talvex::dispenser {

class DispenserPicture;
class WindowTimer;

// The "KVR-840" tab: its port MSComm840 at the address of cmbAddress840,
// manual commands, status poll, automatic dispense test, counters, picture.
class Kvr840Panel final : public QWidget, public DispenserPortOwner {
    Q_OBJECT
public:
    Kvr840Panel(TrafficLog &log, std::function<void(const QString &)> reportCause,
                QWidget *parent = nullptr);
    ~Kvr840Panel() override;

    // Link operations; each reads the address box again.
    QString SendCommand840(const QByteArray &command);
    QString QueryStatus840();
    QString AutoStatus840();
    void PortError840(int errorNumber);

    void KVR840RS_Click();
    void KVR840AP_Click();
    void KVR840DC_Click();
    void KVR840IP_Click();
    void KVR840IE_Click();
    void KVR840CS_Click();
    void KVR840Zero_Click();
    void KVR840Setup_Click();
    void KVR840Close_Click();
    void Check8401_Click();
    void AutoFaka840_Click();
    void AutoStop840_Click();
    void List8401_DblClick();

    void Timer840_Timer();
    void FakaTime840_Timer();

    const State840 &state() const { return m_state; }
    int autoCount() const { return m_autoCount; }
    QByteArray address() const; // the trimmed text of cmbAddress840
    QList<WindowTimer *> timers() const;
    DispenserPicture *picture() const { return m_picture; }

    // DispenserPortOwner
    link::SerialComm &port() override { return m_port; }
    void stopPoll() override;
    bool detectDispenser() override;
    void portSetUp() override;
    void reportCause(const QString &cause) override { m_reportCause(cause); }

private:
    QPushButton *addButton(const char *name, const QString &caption,
                           void (Kvr840Panel::*handler)());
    void applyCounting(const QByteArray &s1s2);
    void applyDisplay(const QByteArray &s1s2);
    void showTexts(const QStringList &texts);
    void recomputeRate();
    void preDispense(const QByteArray &command);

    link::SerialComm m_port; // MSComm840
    Link840 m_link;
    std::function<void(const QString &)> m_reportCause;

    State840 m_state;
    int m_autoCount = 0;
    bool m_portClosedSeen = false; // the last exchange found the port closed

    ButtonSet m_buttons;
    QComboBox *m_address = nullptr;     // cmbAddress840
    QComboBox *m_baud = nullptr;        // cmbBaut840
    QListWidget *m_list = nullptr;      // List8401
    QLineEdit *m_value = nullptr;       // KVR840BACKVELUE
    QCheckBox *m_useQuantity = nullptr; // Check8401
    QLineEdit *m_quantity = nullptr;    // Autonumber840
    QLabel *m_commands = nullptr;       // Label8405
    QLabel *m_dispensed = nullptr;      // Label8406
    QLabel *m_errors = nullptr;         // Label8407
    QLabel *m_rate = nullptr;           // Label8408
    DispenserPicture *m_picture = nullptr;

    WindowTimer *m_poll = nullptr;     // Timer840
    WindowTimer *m_nextCard = nullptr; // FakaTime840
};

} // namespace talvex::dispenser
