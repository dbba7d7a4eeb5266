#include "kvr820panel.h"

#include "doorforms.h"
#include "windowtimer.h"

#include "link/messages.h"
#include "ui/seams.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace talvex::dispenser {
namespace {

constexpr int kStepMs = 3000;
constexpr int kAfterStepPollMs = 500;
constexpr int kAfterResetPollMs = 1000;
constexpr int kStatusWaitMs = 500;
constexpr int kPollStatusWaitMs = 200;
constexpr int kDoorReplyLimitMs = 2000;

struct Position {
    const char *text;
    const char *command;
    int target;
};
constexpr Position kPositions[] = {
    {"Stop at Sensor 3", "FC1", 0},
    {"Stop at Sensor 2", "FC6", 1},
    {"Leave Sensor 3", "FC2", 2},
    {"Leave Sensor 2", "FC3", 3},
    {"Stop at Sensor 1", "FC7", 4},
    {"To the Door", "FC4", 5},
    {"Out", "FC0", 6},
};
constexpr int kTargetDoor = 5;
constexpr int kTargetOut = 6;

// The buttons that a set-up port, a reset, an automatic test and "Comm Close"
// switch as groups.
const QStringList kSetUpButtons = {"KVR820DC", "KVR820CP", "KVR820FC", "Autofaka820", "KVR820RS",
                                   "KVR820CS", "KVR820AP", "KVR820RF", "KVR820NI",    "KVR820SI"};
const QStringList kResetButtons = {"KVR820DC", "KVR820CP", "KVR820FC", "Autofaka820",
                                   "KVR820RF", "KVR820RS", "KVR820CS", "KVR820AP"};
const QStringList kAutoTestButtons = {"KVR820DC", "KVR820CP", "Autofaka820", "KVR820FC",
                                      "KVR820CS", "KVR820RS", "KVR820AP",    "KVR820RF",
                                      "KVR820NI", "KVR820SI"};
const QStringList kCloseButtons = {"KVR820DC",    "KVR820CP", "KVR820FC", "Autofaka820",
                                   "Autostop820", "KVR820RS", "KVR820CS", "KVR820RF",
                                   "KVR820AP",    "KVR820NI", "KVR820SI"};

} // namespace

Kvr820Panel::Kvr820Panel(TrafficLog &log, std::function<void(const QString &)> reportCause,
                         QWidget *parent)
    : DispenserPanel("Page820", "Timer820", QStringLiteral("KVR-820"), reportCause, parent),
      m_link(
          m_port, log, [this](int n) { PortError820(n); }, std::move(reportCause)) {
    m_nextDc = new WindowTimer(QStringLiteral("fakatime8201"), kStepMs, this);
    m_nextFc0 = new WindowTimer(QStringLiteral("fakatime8202"), kStepMs, this);
    m_capture = new WindowTimer(QStringLiteral("shoukatime820"), kStepMs, this);
    onTick(m_poll, &Kvr820Panel::Timer820_Timer, link::Operations::Start::Poll);
    onTick(m_nextDc, &Kvr820Panel::fakatime8201_Timer);
    onTick(m_nextFc0, &Kvr820Panel::fakatime8202_Timer);
    onTick(m_capture, &Kvr820Panel::shoukatime820_Timer);

    auto *commandFrame = new QGroupBox(QStringLiteral("Command"), this);
    auto *commands = new QGridLayout(commandFrame);
    QStringList positions;
    for (const Position &p : kPositions)
        positions << QString::fromLatin1(p.text);
    m_position =
        editableList("KVR820FcAdd", positions, QStringLiteral("To the Door"), commandFrame);
    addBaudList("cmbBaut820", commandFrame);

    commands->addWidget(
        addButton("KVR820RS", QStringLiteral("Reset(RS)"), &Kvr820Panel::KVR820RS_Click), 0, 0);
    commands->addWidget(
        addButton("KVR820RF", QStringLiteral("Status(RF)"), &Kvr820Panel::KVR820RF_Click), 0, 1);
    commands->addWidget(
        addButton("KVR820AP", QStringLiteral("Ad. Status(AP)"), &Kvr820Panel::KVR820AP_Click), 0,
        2);
    commands->addWidget(
        addButton("KVR820DC", QStringLiteral("Dispense(DC)"), &Kvr820Panel::KVR820DC_Click), 1, 0);
    commands->addWidget(
        addButton("KVR820CP", QStringLiteral("Capture(CP)"), &Kvr820Panel::KVR820CP_Click), 1, 1);
    commands->addWidget(addButton("KVR820FC0", QStringLiteral("Dispense Card to door"),
                                  &Kvr820Panel::KVR820FC0_Click),
                        1, 2);
    commands->addWidget(
        addButton("KVR820FC", QStringLiteral("Dispense(FC)"), &Kvr820Panel::KVR820FC_Click), 2, 0);
    commands->addWidget(m_position, 2, 1, 1, 2);
    commands->addWidget(
        addButton("KVR820CS", QStringLiteral("Change Baud Rate(CS)"), &Kvr820Panel::KVR820CS_Click),
        3, 0);
    commands->addWidget(m_baud, 3, 1, 1, 2);
    commands->addWidget(
        addButton("KVR820NI", QStringLiteral("Door Set(NI)"), &Kvr820Panel::KVR820NI_Click), 4, 0);
    commands->addWidget(
        addButton("KVR820SI", QStringLiteral("Door Status(SI)"), &Kvr820Panel::KVR820SI_Click), 4,
        1);

    addStatusViews("List8201", "KVR820BACKVELUE", DispenserPicture::Model::Kvr820);
    m_picture->setBodyVisible(false);

    m_dispenseCommands = counterLabel("Label8205", this);
    m_dispensed = counterLabel("Label8206", this);
    m_dispenseErrors = counterLabel("Label8207", this);
    m_dispenseRate = counterLabel("Label8208", this);
    m_captureCommands = counterLabel("Label82012", this);
    m_captured = counterLabel("Label82011", this);
    m_captureErrors = counterLabel("Label82010", this);
    m_captureRate = counterLabel("Label8209", this);
    auto *counters = new QGridLayout;
    counters->addWidget(
        counterFrame(QStringLiteral("Card dispensing Command q'ty"), m_dispenseCommands, this), 0,
        0);
    counters->addWidget(counterFrame(QStringLiteral("Card Dispensing q'ty"), m_dispensed, this), 0,
                        1);
    counters->addWidget(counterFrame(QStringLiteral("Error q'ty"), m_dispenseErrors, this), 0, 2);
    counters->addWidget(counterFrame(QStringLiteral("Error rate (%)"), m_dispenseRate, this), 0, 3);
    counters->addWidget(
        counterFrame(QStringLiteral("Capture Command q'ty"), m_captureCommands, this), 1, 0);
    counters->addWidget(counterFrame(QStringLiteral("Capture q'ty"), m_captured, this), 1, 1);
    counters->addWidget(counterFrame(QStringLiteral("Capture Error Rate"), m_captureErrors, this),
                        1, 2);
    counters->addWidget(counterFrame(QStringLiteral("Error Rate (%)"), m_captureRate, this), 1, 3);

    auto *autoFrame = new QGroupBox(QStringLiteral("Auto Test"), this);
    auto *quantityLabel = new QLabel(QStringLiteral("Q'ty Setting"), autoFrame);
    m_quantity = quantityBox("Text8201", QStringLiteral("35"), autoFrame);
    quantityLabel->setBuddy(m_quantity);
    m_outMode = new QRadioButton(QStringLiteral("0 OUT of Door"), autoFrame);
    m_outMode->setObjectName(QStringLiteral("Option8202_0"));
    m_captureMode = new QRadioButton(QStringLiteral("1 Door && Capture"), autoFrame);
    m_captureMode->setObjectName(QStringLiteral("Option8202_1"));
    m_outMode->setChecked(true);
    auto *autoLayout = new QGridLayout(autoFrame);
    autoLayout->addWidget(quantityLabel, 0, 0);
    autoLayout->addWidget(m_quantity, 0, 1);
    autoLayout->addWidget(m_outMode, 1, 0, 1, 2);
    autoLayout->addWidget(m_captureMode, 2, 0, 1, 2);
    autoLayout->addWidget(
        addButton("Autofaka820", QStringLiteral("Auto Dispense"), &Kvr820Panel::Autofaka820_Click),
        3, 0);
    autoLayout->addWidget(
        addButton("Autostop820", QStringLiteral("Stop"), &Kvr820Panel::Autostop820_Click), 3, 1);

    arrange(
        commandFrame, counters, autoFrame,
        {addButton("KVR820Setup", QStringLiteral("Comm Setup"), &Kvr820Panel::KVR820Setup_Click),
         addButton("KVR820Close", QStringLiteral("Comm Close"), &Kvr820Panel::KVR820Close_Click),
         addButton("KVR820Zero", QStringLiteral("Set q'ty to Zero"),
                   &Kvr820Panel::KVR820Zero_Click)});

    // Usable once the port is set up.
    m_buttons.setEnabled(kCloseButtons, false);
}

Kvr820Panel::~Kvr820Panel() = default;

void Kvr820Panel::setDispenseCaptureEnabled(bool enabled) {
    m_buttons.setEnabled({QStringLiteral("KVR820DC"), QStringLiteral("KVR820CP")}, enabled);
}

WindowTimer *Kvr820Panel::timer(const QString &name) const {
    return findChild<WindowTimer *>(name);
}

QList<WindowTimer *> Kvr820Panel::timers() const {
    return {m_poll, m_nextDc, m_nextFc0, m_capture};
}

QCoro::Task<QString> Kvr820Panel::SendCommand820(QByteArray text) {
    forgetPortClosed();
    co_return co_await m_link.SendCommand820(std::move(text));
}

QCoro::Task<QString> Kvr820Panel::SendCommand820Quiet(QByteArray text) {
    forgetPortClosed();
    co_return co_await m_link.SendCommand820Quiet(std::move(text));
}

void Kvr820Panel::PortError820(int errorNumber) {
    portError(errorNumber);
}

void Kvr820Panel::clearStatus() {
    m_list->clear();
    m_value->clear();
}

void Kvr820Panel::stopCycleTimers() {
    m_nextDc->stop();
    m_nextFc0->stop();
    m_capture->stop();
}

QCoro::Task<bool> Kvr820Panel::detectDispenser() {
    const QString word = co_await SendCommand820("AP");
    if (word != kOk)
        co_return false;
    const QByteArray reply = co_await m_link.readReplyAfter(kStatusWaitMs, 9, 'F');
    if (!reply.isEmpty())
        m_link.logStatusReply(reply, QStringLiteral("RD: "));
    if (validStatusReply820(reply, 9, 'F'))
        co_await apply(DecodeStatus820(reply.mid(3, 4), m_state));
    // The acknowledgement alone shows that a dispenser listens.
    co_return true;
}

void Kvr820Panel::portSetUp() {
    m_buttons.setEnabled(kSetUpButtons, true);
    m_manualCommandIssued = false;
    m_channelResetDone = false;
    m_picture->setBodyVisible(true);
    m_poll->start();
}

void Kvr820Panel::portLost() {
    // A test has nothing to run on without its port: its steps would find the
    // port closed every 3 s for ever.
    if (autoTestActive() || m_state.autoRunning)
        endAutoTest();
    // A command that waited was abandoned with the port.
    m_idle = true;
}

QCoro::Task<> Kvr820Panel::apply(Decoded820 d) {
    m_list->clear();
    m_list->addItems(d.texts);
    m_state = d.state;
    m_picture->setMarks(m_state.marks);
    addToCounter(m_dispensed, d.dispensed);
    addToCounter(m_dispenseErrors, d.dispenseErrors);
    addToCounter(m_captured, d.captured);
    addToCounter(m_captureErrors, d.captureErrors);
    if (d.dispenseRateChanged && counterValue(m_dispenseCommands) != 0)
        m_dispenseRate->setText(
            errorRate820(counterValue(m_dispenseErrors), counterValue(m_dispenseCommands)));
    if (d.captureRateChanged && counterValue(m_captureCommands) != 0)
        m_captureRate->setText(
            errorRate820(counterValue(m_captureErrors), counterValue(m_captureCommands)));
    if (d.disableButtons)
        setDispenseCaptureEnabled(false);
    if (d.dispenseSucceeded && m_state.autoRunning)
        co_await onDispenseSuccess();
    if (d.captureSucceeded)
        co_await onCaptureSuccess();
    if (d.stopAutoTest)
        co_await Autostop820_Click();
}

bool Kvr820Panel::quantityReached() const {
    return m_autoCount >= leadingNumber(m_quantity->text());
}

QCoro::Task<> Kvr820Panel::onDispenseSuccess() {
    ++m_autoCount;
    if (m_autoCaptureMode) {
        m_capture->setInterval(kStepMs);
        m_capture->start();
    } else if (m_autoOutMode) {
        // Started before the check: the stop that follows takes it down again.
        m_nextFc0->setInterval(kStepMs);
        m_nextFc0->start();
        if (quantityReached())
            co_await Autostop820_Click();
    }
}

QCoro::Task<> Kvr820Panel::onCaptureSuccess() {
    if (quantityReached()) {
        co_await Autostop820_Click();
    } else if (m_state.autoRunning && m_autoCaptureMode) {
        m_nextDc->setInterval(kStepMs);
        m_nextDc->start();
    }
}

QCoro::Task<> Kvr820Panel::Timer820_Timer() {
    if (!m_idle)
        co_return;
    m_idle = false;
    // Only the buttons that the flags stand for: "Dispense(FC)" stays usable,
    // so that a card stopped at a sensor can be sent on.
    if (!m_state.autoRunning) {
        m_buttons[QStringLiteral("KVR820DC")]->setEnabled(m_state.dispenseAllowed);
        m_buttons[QStringLiteral("KVR820CP")]->setEnabled(m_state.captureAllowed);
    }
    if (m_poll->interval() == kAfterResetPollMs || m_poll->interval() == kAfterStepPollMs) {
        m_poll->stop();
        restartPoll(kPollMs);
    }
    const QString word = co_await SendCommand820Quiet("AP");
    if (word == kOk) {
        const QByteArray reply = co_await m_link.readReplyAfter(kPollStatusWaitMs, 9, 'F');
        if (validStatusReply820(reply, 9, 'F')) {
            m_cardInChannel = cardInChannel820(reply.at(6));
            if (!m_cardInChannel)
                m_channelResetDone = false;
            co_await apply(DecodeStatus820(reply.mid(3, 4), m_state));
        }
    }
    m_idle = true;
    if (!m_manualCommandIssued && m_cardInChannel) {
        m_cardInChannel = false;
        if (m_channelResetDone) {
            reportCause(QStringLiteral("KVR-820: the card is still in the channel after the "
                                       "automatic reset; take it out or dispense it."));
            co_return;
        }
        m_channelResetDone = true;
        co_await KVR820RS_Click();
    }
}

QCoro::Task<> Kvr820Panel::dispense(Dispense kind) {
    if (!m_idle)
        co_return;
    m_idle = false;
    m_poll->stop();
    if (kind != Dispense::FC) {
        m_state.dispenseAllowed = false;
        m_state.captureAllowed = false;
        setDispenseCaptureEnabled(false);
    }
    m_state.dispenseRunning = false;
    if (kind != Dispense::FC0)
        clearStatus();

    QByteArray command = "DC";
    int target = kTargetDoor;
    if (kind == Dispense::FC0) {
        command = "FC0";
        target = kTargetOut;
    } else if (kind == Dispense::FC) {
        command.clear();
        for (const Position &p : kPositions) {
            if (m_position->currentText() == QLatin1String(p.text)) {
                command = p.command;
                target = p.target;
            }
        }
        if (command.isEmpty())
            link::showCaution(QStringLiteral("Please Choose the Dispensing Position"));
    }
    if (!command.isEmpty()) {
        const QString word = co_await SendCommand820(command);
        if (word == kOk) {
            // The picture follows the position the dispenser took on, never
            // one it refused.
            addToCounter(m_dispenseCommands, 1);
            m_manualCommandIssued = true;
            m_state.dispenseRunning = true;
            m_state.fcTarget = target;
            if (kind == Dispense::DC && m_autoCaptureMode)
                m_state.autoRunning = true;
            else if (kind == Dispense::FC0 && m_autoOutMode)
                m_state.autoRunning = true;
        }
    }
    m_idle = true;
    resumePoll();
}

QCoro::Task<> Kvr820Panel::KVR820DC_Click() {
    co_await dispense(Dispense::DC);
}

QCoro::Task<> Kvr820Panel::KVR820FC_Click() {
    co_await dispense(Dispense::FC);
}

QCoro::Task<> Kvr820Panel::KVR820FC0_Click() {
    co_await dispense(Dispense::FC0);
}

QCoro::Task<> Kvr820Panel::KVR820CP_Click() {
    if (!m_idle)
        co_return;
    m_idle = false;
    m_poll->stop();
    m_state.dispenseAllowed = false;
    m_state.captureAllowed = false;
    setDispenseCaptureEnabled(false);
    clearStatus();
    co_await capture();
    m_idle = true;
    resumePoll();
}

QCoro::Task<> Kvr820Panel::KVR820RS_Click() {
    if (!m_idle)
        co_return;
    m_idle = false;
    clearStatus();
    m_buttons[QStringLiteral("KVR820Close")]->setEnabled(true);
    stopCycleTimers();
    m_state.dispenseDone = false;
    m_state.captureDone = false;
    m_state.dispenseRunning = false;
    m_state.captureRunning = false;
    m_buttons.setEnabled(kResetButtons, true);
    m_buttons[QStringLiteral("Autostop820")]->setEnabled(false);
    m_poll->stop();
    const QString word = co_await SendCommand820("RS");
    if (word == kOk && (m_manualCommandIssued || !m_cardInChannel))
        link::showMessage(QStringLiteral("Reset Success\r\nChecking Working Situation\r\n"
                                         "Wait for 2 Sec for Next Operation"),
                          QStringLiteral("Message"), link::MsgIcon::Information);
    m_idle = true;
    restartPoll(kAfterResetPollMs);
}

QCoro::Task<> Kvr820Panel::queryStatus(QByteArray command, int replySize, StatusDecoder decode) {
    if (!m_idle)
        co_return;
    m_idle = false;
    m_value->clear();
    const QString word = co_await SendCommand820(command);
    if (word == kOk) {
        const QByteArray reply = co_await m_link.readReplyAfter(kStatusWaitMs, replySize, 'F');
        if (!reply.isEmpty())
            m_link.logStatusReply(reply);
        if (validStatusReply820(reply, replySize, 'F')) {
            // STX "S" "F" before the characters, ETX and BCC after them.
            const QByteArray chars = reply.mid(3, replySize - 5);
            m_value->setText(QString::fromLatin1(chars));
            co_await apply(decode(chars, m_state));
        }
    }
    m_idle = true;
}

QCoro::Task<> Kvr820Panel::KVR820RF_Click() {
    co_await queryStatus("RF", 8, DecodeStatus820Short);
}

QCoro::Task<> Kvr820Panel::KVR820AP_Click() {
    co_await queryStatus("AP", 9, DecodeStatus820);
}

QCoro::Task<char> Kvr820Panel::queryDoor() {
    const QString word = co_await SendCommand820("SI");
    if (word != kOk)
        co_return '\0';
    const QByteArray reply = co_await m_link.readReplyAfter(kStatusWaitMs, 6, 'I');
    if (!reply.isEmpty())
        m_link.logStatusReply(reply);
    co_return validStatusReply820(reply, 6, 'I') ? reply.at(3) : '\0';
}

QCoro::Task<> Kvr820Panel::KVR820SI_Click() {
    if (!m_idle)
        co_return;
    m_idle = false;
    clearStatus();
    const char code = co_await queryDoor();
    if (code != '\0') {
        KVR820DoorSiForm form(code, this);
        ui::execModal(form);
    }
    m_idle = true;
}

QCoro::Task<> Kvr820Panel::KVR820NI_Click() {
    if (!m_idle)
        co_return;
    m_idle = false;
    const char current = co_await queryDoor();
    m_idle = true;
    if (current == '\0')
        co_return;
    KVR820DoorSetForm form(current, this);
    ui::execModal(form);
    const char code = form.result() == QDialog::Accepted ? form.chosenCode() : '\0';
    m_idle = false;
    clearStatus();
    if (code != '\0') {
        const QString word = co_await SendCommand820(QByteArray("IN") + code);
        if (word == kOk)
            link::showMessage(QStringLiteral("Door Setting Success"), QStringLiteral("Message"),
                              link::MsgIcon::Information);
        else
            link::showCaution(QStringLiteral("Door Setting Fail"));
    }
    m_idle = true;
}

QCoro::Task<> Kvr820Panel::KVR820CS_Click() {
    if (!m_idle)
        co_return;
    const int code = baudCode();
    if (code < 0)
        co_return;
    m_idle = false;
    clearStatus();
    const QString word = co_await SendCommand820(QByteArray("CS") + char('0' + code));
    m_idle = true;
    if (word != kOk)
        co_return;
    showBaudChanged(QStringLiteral("Please reset comm. port"));
    KVR820Close_Click();
}

void Kvr820Panel::KVR820Zero_Click() {
    zeroCounters({m_dispenseCommands, m_dispensed, m_dispenseErrors, m_dispenseRate,
                  m_captureCommands, m_captured, m_captureErrors, m_captureRate});
}

void Kvr820Panel::KVR820Setup_Click() {
    ComPortSet820 dialog(*this, this);
    ui::execModal(dialog);
}

void Kvr820Panel::KVR820Close_Click() {
    closePort(kCloseButtons);
    stopCycleTimers();
    KVR820Zero_Click();
}

QCoro::Task<> Kvr820Panel::Autofaka820_Click() {
    if (leadingNumber(m_quantity->text()) < 1) {
        link::showCaution(QStringLiteral("Auto Dispense Q'ty:999 Max"));
        co_return;
    }
    m_list->clear();
    KVR820Zero_Click();
    m_buttons[QStringLiteral("KVR820Close")]->setEnabled(false);
    m_autoCount = 0;
    m_state.autoRunning = false;
    m_state.dispenseRunning = false;
    m_state.captureRunning = false;
    m_state.dispenseDone = false;
    m_state.captureDone = false;
    stopCycleTimers();
    m_buttons.setEnabled(kAutoTestButtons, false);
    m_quantity->setEnabled(false);
    m_buttons[QStringLiteral("Autostop820")]->setEnabled(true);
    m_autoCaptureMode = m_captureMode->isChecked();
    m_autoOutMode = !m_autoCaptureMode;
    if (m_autoCaptureMode)
        co_await KVR820DC_Click();
    else
        co_await KVR820FC0_Click();
}

QCoro::Task<bool> Kvr820Panel::cardAtDoor(bool alsoEmptyStacker) {
    const QString word = co_await SendCommand820("RF");
    if (word != kOk)
        co_return false;
    const QByteArray reply = co_await m_link.readReplyWithin(kDoorReplyLimitMs, 8, 'F');
    if (!reply.isEmpty())
        m_link.logStatusReply(reply);
    if (!validStatusReply820(reply, 8, 'F'))
        co_return false;
    const char position = reply.at(5);
    co_return position == '1' || (alsoEmptyStacker && position == '9');
}

QCoro::Task<bool> Kvr820Panel::capture() {
    m_state.captureRunning = false;
    const QString word = co_await SendCommand820("CP");
    if (word != kOk)
        co_return false;
    addToCounter(m_captureCommands, 1);
    m_state.captureRunning = true;
    co_return true;
}

QCoro::Task<> Kvr820Panel::Autostop820_Click() {
    if (m_state.autoRunning && m_autoCaptureMode) {
        m_capture->stop();
        m_poll->stop();
        // The last card must not stay at the door.
        const bool atDoor = co_await cardAtDoor(false);
        if (atDoor)
            co_await capture();
        restartPoll(kAfterStepPollMs);
    }
    endAutoTest();
}

void Kvr820Panel::endAutoTest() {
    m_autoCaptureMode = false;
    m_autoOutMode = false;
    m_state.autoRunning = false;
    m_state.dispenseDone = false;
    m_state.captureDone = false;
    stopCycleTimers();
    m_buttons.setEnabled(kAutoTestButtons, true);
    m_quantity->setEnabled(true);
    m_buttons[QStringLiteral("Autostop820")]->setEnabled(false);
}

QCoro::Task<> Kvr820Panel::dispenseStep(QByteArray command, WindowTimer *step, const bool *mode) {
    m_poll->stop();
    m_state.dispenseRunning = false;
    const QString word = co_await SendCommand820(command);
    if (word == kOk) {
        addToCounter(m_dispenseCommands, 1);
        step->stop();
        m_state.dispenseRunning = true;
        if (*mode)
            m_state.autoRunning = true;
    }
    restartPoll(kAfterStepPollMs);
}

QCoro::Task<> Kvr820Panel::fakatime8201_Timer() {
    co_await dispenseStep("DC", m_nextDc, &m_autoCaptureMode);
}

QCoro::Task<> Kvr820Panel::fakatime8202_Timer() {
    co_await dispenseStep("FC0", m_nextFc0, &m_autoOutMode);
}

QCoro::Task<> Kvr820Panel::shoukatime820_Timer() {
    m_poll->stop();
    const bool atDoor = co_await cardAtDoor(true);
    if (atDoor) {
        const bool captured = co_await capture();
        if (captured)
            m_capture->stop();
    }
    restartPoll(kAfterStepPollMs);
}

} // namespace talvex::dispenser
