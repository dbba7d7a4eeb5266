#pragma once

#include "dispenserlink.h"
#include "dispenserpanel.h"
#include "dispenserstatus.h"

class QLabel;
class QRadioButton;

namespace talvex::dispenser {

// The "KVR-820" tab: its port MSComm820, manual commands, status poll,
// automatic dispense and capture cycles, counters and picture.
class Kvr820Panel final : public DispenserPanel {
    Q_OBJECT
public:
    Kvr820Panel(TrafficLog &log, std::function<void(const QString &)> reportCause,
                QWidget *parent = nullptr);
    ~Kvr820Panel() override;

    // Link operations.
    QCoro::Task<QString> SendCommand820(QByteArray text);
    QCoro::Task<QString> SendCommand820Quiet(QByteArray text);
    void PortError820(int errorNumber);

    // Buttons; those that talk to the dispenser run on the tab's line, one
    // at a time.
    QCoro::Task<> KVR820RS_Click();
    QCoro::Task<> KVR820RF_Click();
    QCoro::Task<> KVR820AP_Click();
    QCoro::Task<> KVR820DC_Click();
    QCoro::Task<> KVR820FC_Click();
    QCoro::Task<> KVR820FC0_Click(); // "Dispense Card to door"
    QCoro::Task<> KVR820CP_Click();
    QCoro::Task<> KVR820CS_Click();
    QCoro::Task<> KVR820NI_Click();
    QCoro::Task<> KVR820SI_Click();
    void KVR820Zero_Click();
    void KVR820Setup_Click();
    void KVR820Close_Click();
    QCoro::Task<> Autofaka820_Click();
    QCoro::Task<> Autostop820_Click();

    // Timers.
    QCoro::Task<> Timer820_Timer();
    QCoro::Task<> fakatime8201_Timer();
    QCoro::Task<> fakatime8202_Timer();
    QCoro::Task<> shoukatime820_Timer();

    // State the tests and the benchmark look at.
    const State820 &state() const { return m_state; }
    bool idle() const { return m_idle; }
    bool cardInChannel() const { return m_cardInChannel; }
    bool manualCommandIssued() const { return m_manualCommandIssued; }
    WindowTimer *timer(const QString &name) const;
    QList<WindowTimer *> timers() const;

    // DispenserPortOwner
    QCoro::Task<bool> detectDispenser() override;
    void portSetUp() override;
    void portLost() override;

private:
    enum class Dispense { DC, FC, FC0 };
    void setDispenseCaptureEnabled(bool enabled);
    QCoro::Task<> dispense(Dispense kind);
    QCoro::Task<> apply(Decoded820 decoded);
    QCoro::Task<> onDispenseSuccess();
    QCoro::Task<> onCaptureSuccess();
    // What "Stop" does after its last capture: the test's flags, timers and
    // buttons back to idle.
    void endAutoTest();
    bool quantityReached() const;
    // The door code of a valid "SI" reply, or '\0'.
    QCoro::Task<char> queryDoor();
    // "RF" with a wait of up to 2 s for its reply; true when a card stands at
    // the door (position "1", or "9" where the stacker is also empty).
    QCoro::Task<bool> cardAtDoor(bool alsoEmptyStacker);
    // "CP" from a handler or a cycle step; true when accepted.
    QCoro::Task<bool> capture();
    // A cycle step's "DC" or "FC0": a refused command leaves the step's timer
    // running, so that the next tick tries again. An accepted one joins the
    // test when the test runs in the step's mode.
    QCoro::Task<> dispenseStep(QByteArray command, WindowTimer *step, const bool *mode);
    using StatusDecoder = Decoded820 (*)(const QByteArray &, const State820 &);
    // "RF" or "AP" by hand: the reply's status characters in the value box,
    // then decoded.
    QCoro::Task<> queryStatus(QByteArray command, int replySize, StatusDecoder decode);
    void clearStatus();
    void stopCycleTimers();
    bool autoTestActive() const { return m_autoCaptureMode || m_autoOutMode; }

    Link820 m_link;

    State820 m_state;
    bool m_idle = true;
    bool m_cardInChannel = false;
    bool m_manualCommandIssued = false;
    bool m_autoCaptureMode = false;
    bool m_autoOutMode = false;
    // A card that the automatic reset did not clear out of the channel is
    // reset once only; the status line says it is still there.
    bool m_channelResetDone = false;

    QComboBox *m_position = nullptr;       // KVR820FcAdd
    QLineEdit *m_quantity = nullptr;       // Text8201
    QRadioButton *m_outMode = nullptr;     // Option8202(0)
    QRadioButton *m_captureMode = nullptr; // Option8202(1)
    QLabel *m_dispenseCommands = nullptr;  // Label8205
    QLabel *m_dispensed = nullptr;         // Label8206
    QLabel *m_dispenseErrors = nullptr;    // Label8207
    QLabel *m_dispenseRate = nullptr;      // Label8208
    QLabel *m_captureCommands = nullptr;   // Label82012
    QLabel *m_captured = nullptr;          // Label82011
    QLabel *m_captureErrors = nullptr;     // Label82010
    QLabel *m_captureRate = nullptr;       // Label8209

    WindowTimer *m_nextDc = nullptr;  // fakatime8201
    WindowTimer *m_nextFc0 = nullptr; // fakatime8202
    WindowTimer *m_capture = nullptr; // shoukatime820
};

} // namespace talvex::dispenser
