#pragma once

#include "dispenserlink.h"
#include "dispenserpanel.h"
#include "dispenserstatus.h"

class QCheckBox;
class QLabel;

namespace talvex::dispenser {

// The "KVR-840" tab: its port MSComm840 at the address of cmbAddress840,
// manual commands, status poll, automatic dispense test, counters, picture.
class Kvr840Panel final : public DispenserPanel {
    Q_OBJECT
public:
    Kvr840Panel(TrafficLog &log, std::function<void(const QString &)> reportCause,
                QWidget *parent = nullptr);
    ~Kvr840Panel() override;

    // Link operations; each reads the address box again.
    QCoro::Task<QString> SendCommand840(QByteArray command);
    QCoro::Task<QString> QueryStatus840();
    QCoro::Task<QString> AutoStatus840();
    void PortError840(int errorNumber);

    QCoro::Task<> KVR840RS_Click();
    QCoro::Task<> KVR840AP_Click();
    QCoro::Task<> KVR840DC_Click();
    QCoro::Task<> KVR840IP_Click();
    QCoro::Task<> KVR840IE_Click();
    QCoro::Task<> KVR840CS_Click();
    void KVR840Zero_Click();
    void KVR840Setup_Click();
    void KVR840Close_Click();
    void Check8401_Click();
    QCoro::Task<> AutoFaka840_Click();
    void AutoStop840_Click();
    void List8401_DblClick();

    QCoro::Task<> Timer840_Timer();
    QCoro::Task<> FakaTime840_Timer();

    const State840 &state() const { return m_state; }
    QByteArray address() const; // the trimmed text of cmbAddress840
    QList<WindowTimer *> timers() const;

    // DispenserPortOwner
    QCoro::Task<bool> detectDispenser() override;
    void portSetUp() override;
    void portLost() override;

private:
    void applyCounting(const QByteArray &s1s2);
    void applyDisplay(const QByteArray &s1s2);
    // The texts in the status list, the state kept, the picture drawn.
    void showStatus(const Decoded840 &decoded);
    void recomputeRate();
    QCoro::Task<> preDispense(QByteArray command);

    Link840 m_link;

    State840 m_state;

    QComboBox *m_address = nullptr;     // cmbAddress840
    QCheckBox *m_useQuantity = nullptr; // Check8401
    QLineEdit *m_quantity = nullptr;    // Autonumber840
    QLabel *m_commands = nullptr;       // Label8405
    QLabel *m_dispensed = nullptr;      // Label8406
    QLabel *m_errors = nullptr;         // Label8407
    QLabel *m_rate = nullptr;           // Label8408

    WindowTimer *m_nextCard = nullptr; // FakaTime840
};

} // namespace talvex::dispenser
