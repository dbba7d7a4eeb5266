#include "kvr840panel.h"

#include "windowtimer.h"

#include "link/messages.h"
#include "ui/seams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace talvex::dispenser {
namespace {

constexpr int kAfterResetPollMs = 1000;
constexpr int kNextCardMs = 2000;

const QStringList kSetUpButtons = {"KVR840DC", "KVR840AP", "KVR840RS",   "KVR840IP",
                                   "KVR840IE", "KVR840CS", "AutoFaka840"};
const QStringList kAutoTestButtons = {"KVR840DC", "AutoFaka840", "KVR840RS", "KVR840AP",
                                      "KVR840IP", "KVR840IE",    "KVR840CS"};
const QStringList kCloseButtons = {"KVR840DC", "AutoFaka840", "AutoStop840", "KVR840CS",
                                   "KVR840RS", "KVR840IP",    "KVR840IE",    "KVR840AP"};

} // namespace

Kvr840Panel::Kvr840Panel(TrafficLog &log, std::function<void(const QString &)> reportCause,
                         QWidget *parent)
    : DispenserPanel("Page840", "Timer840", QStringLiteral("KVR-840"), reportCause, parent),
      m_link(
          m_port, log, [this](int n) { PortError840(n); }, std::move(reportCause)) {
    m_nextCard = new WindowTimer(QStringLiteral("FakaTime840"), 1000, this);
    onTick(m_poll, &Kvr840Panel::Timer840_Timer, link::Operations::Start::Poll);
    onTick(m_nextCard, &Kvr840Panel::FakaTime840_Timer);

    auto *commandFrame = new QGroupBox(QStringLiteral("Command"), this);
    auto *commands = new QGridLayout(commandFrame);
    QStringList addresses;
    for (int a = 0; a <= 15; ++a)
        addresses << QStringLiteral("%1").arg(a, 2, 10, QLatin1Char('0'));
    // A fixed list, not typed: every frame and every reply check takes its
    // two characters, and the status poll reads it ten times a second.
    m_address = new QComboBox(commandFrame);
    m_address->setObjectName(QStringLiteral("cmbAddress840"));
    m_address->addItems(addresses);
    m_address->setCurrentText(QStringLiteral("15"));
    auto *addressLabel = new QLabel(QStringLiteral("Address"), commandFrame);
    addressLabel->setBuddy(m_address);
    addBaudList("cmbBaut840", commandFrame);

    commands->addWidget(addressLabel, 0, 0);
    commands->addWidget(m_address, 0, 1);
    commands->addWidget(
        addButton("KVR840RS", QStringLiteral("Reset(RS)"), &Kvr840Panel::KVR840RS_Click), 1, 0);
    commands->addWidget(
        addButton("KVR840AP", QStringLiteral("Status(AP)"), &Kvr840Panel::KVR840AP_Click), 1, 1);
    commands->addWidget(
        addButton("KVR840DC", QStringLiteral("Dispense(DC)"), &Kvr840Panel::KVR840DC_Click), 2, 0,
        1, 2);
    commands->addWidget(addButton("KVR840IP", QStringLiteral("Allow Card Pre-dispense(IP)"),
                                  &Kvr840Panel::KVR840IP_Click),
                        3, 0, 1, 2);
    commands->addWidget(addButton("KVR840IE", QStringLiteral("Prohibit Card Pre-dispense(IE)"),
                                  &Kvr840Panel::KVR840IE_Click),
                        4, 0, 1, 2);
    commands->addWidget(
        addButton("KVR840CS", QStringLiteral("Change Baud Rate(CS)"), &Kvr840Panel::KVR840CS_Click),
        5, 0);
    commands->addWidget(m_baud, 5, 1);

    addStatusViews("List8401", "KVR840BACKVELUE", DispenserPicture::Model::Kvr840);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &Kvr840Panel::List8401_DblClick);

    m_commands = counterLabel("Label8405", this);
    m_dispensed = counterLabel("Label8406", this);
    m_errors = counterLabel("Label8407", this);
    m_rate = counterLabel("Label8408", this);
    auto *counters = new QHBoxLayout;
    counters->addWidget(
        counterFrame(QStringLiteral("Card Dispensing Command q'ty"), m_commands, this));
    counters->addWidget(counterFrame(QStringLiteral("Card Dispensing q'ty"), m_dispensed, this));
    counters->addWidget(counterFrame(QStringLiteral("Error q'ty"), m_errors, this));
    counters->addWidget(counterFrame(QStringLiteral(" Error Rate (%)"), m_rate, this));

    auto *autoFrame = new QGroupBox(QStringLiteral("Auto Test"), this);
    m_useQuantity = new QCheckBox(QStringLiteral("Q'ty Setting"), autoFrame);
    m_useQuantity->setObjectName(QStringLiteral("Check8401"));
    connect(m_useQuantity, &QCheckBox::clicked, this, &Kvr840Panel::Check8401_Click);
    m_quantity = quantityBox("Autonumber840", QStringLiteral("0"), autoFrame);
    m_quantity->setAccessibleName(QStringLiteral("Q'ty Setting"));
    auto *autoLayout = new QGridLayout(autoFrame);
    autoLayout->addWidget(m_useQuantity, 0, 0);
    autoLayout->addWidget(m_quantity, 0, 1);
    autoLayout->addWidget(
        addButton("AutoFaka840", QStringLiteral("Auto Dispense"), &Kvr840Panel::AutoFaka840_Click),
        1, 0);
    autoLayout->addWidget(
        addButton("AutoStop840", QStringLiteral("Stop "), &Kvr840Panel::AutoStop840_Click), 1, 1);
    Check8401_Click();

    arrange(
        commandFrame, counters, autoFrame,
        {addButton("KVR840Setup", QStringLiteral("Comm Setup"), &Kvr840Panel::KVR840Setup_Click),
         addButton("KVR840Close", QStringLiteral("Comm Close"), &Kvr840Panel::KVR840Close_Click),
         addButton("KVR840Zero", QStringLiteral("Set q'ty to Zero"),
                   &Kvr840Panel::KVR840Zero_Click)});

    m_buttons.setEnabled({QStringLiteral("KVR840DC"), QStringLiteral("AutoStop840"),
                          QStringLiteral("AutoFaka840"), QStringLiteral("KVR840RS"),
                          QStringLiteral("KVR840AP")},
                         false);
    // No stacker is known before the first status.
    m_picture->setMarks(0);
}

Kvr840Panel::~Kvr840Panel() = default;

QList<WindowTimer *> Kvr840Panel::timers() const {
    return {m_poll, m_nextCard};
}

QByteArray Kvr840Panel::address() const {
    return m_address->currentText().trimmed().toLatin1();
}

QCoro::Task<QString> Kvr840Panel::SendCommand840(QByteArray command) {
    m_list->clear();
    forgetPortClosed();
    co_return co_await m_link.SendCommand840(address(), std::move(command));
}

QCoro::Task<QString> Kvr840Panel::QueryStatus840() {
    m_list->clear();
    forgetPortClosed();
    co_return co_await m_link.QueryStatus840(address(), [this](const QByteArray &s) {
        m_value->setText(QString::fromLatin1(s));
        applyDisplay(s);
    });
}

QCoro::Task<QString> Kvr840Panel::AutoStatus840() {
    // Emptied before each poll like before any other exchange: a dispenser
    // that falls silent must not go on showing its last status.
    m_list->clear();
    forgetPortClosed();
    co_return co_await m_link.AutoStatus840(address(),
                                            [this](const QByteArray &s) { applyCounting(s); });
}

void Kvr840Panel::PortError840(int errorNumber) {
    portError(errorNumber);
}

void Kvr840Panel::showStatus(const Decoded840 &d) {
    m_list->clear();
    m_list->addItems(d.texts);
    m_state = d.state;
    m_picture->setMarks(m_state.marks);
}

void Kvr840Panel::recomputeRate() {
    if (counterValue(m_commands) != 0)
        m_rate->setText(errorRate840(counterValue(m_errors), counterValue(m_commands)));
}

void Kvr840Panel::applyDisplay(const QByteArray &s1s2) {
    showStatus(decodeStatus840Display(s1s2, m_state));
}

void Kvr840Panel::applyCounting(const QByteArray &s1s2) {
    const Decoded840 d = decodeStatus840Counting(s1s2, m_state);
    showStatus(d);
    addToCounter(m_dispensed, d.dispensed);
    addToCounter(m_errors, d.errors);
    if (d.rateChanged)
        recomputeRate();
    if (d.dispenseSucceeded) {
        ++m_autoCount;
        m_nextCard->setInterval(kNextCardMs);
        m_nextCard->start();
        if (m_useQuantity->isChecked() && m_autoCount >= leadingNumber(m_quantity->text()))
            AutoStop840_Click();
    }
    if (d.stopAutoTest)
        AutoStop840_Click();
}

QCoro::Task<bool> Kvr840Panel::detectDispenser() {
    const QString word = co_await AutoStatus840();
    co_return word == kOk;
}

void Kvr840Panel::portSetUp() {
    m_buttons.setEnabled(kSetUpButtons, true);
    m_buttons[QStringLiteral("AutoStop840")]->setEnabled(false);
    m_poll->start();
}

void Kvr840Panel::portLost() {
    if (m_state.autoRunning)
        AutoStop840_Click();
}

QCoro::Task<> Kvr840Panel::Timer840_Timer() {
    if (!m_state.autoRunning)
        m_buttons[QStringLiteral("KVR840DC")]->setEnabled(m_state.dispenseAllowed);
    if (m_poll->interval() != kPollMs) {
        m_poll->stop();
        m_poll->setInterval(kPollMs);
        m_poll->start();
    }
    m_poll->stop();
    co_await AutoStatus840();
    resumePoll();
}

QCoro::Task<> Kvr840Panel::KVR840AP_Click() {
    m_value->clear();
    m_poll->stop();
    m_state.dispensePending = false;
    co_await QueryStatus840();
    resumePoll();
}

QCoro::Task<> Kvr840Panel::KVR840DC_Click() {
    m_value->clear();
    m_buttons[QStringLiteral("KVR840DC")]->setEnabled(false);
    m_state.dispenseAllowed = false;
    m_poll->stop();
    m_state.successCounted = false;
    m_state.dispensePending = false;
    const QString word = co_await SendCommand840("DC");
    if (word == kOk) {
        addToCounter(m_commands, 1);
        m_state.dispensePending = true;
    } else {
        addToCounter(m_errors, 1);
    }
    resumePoll();
}

QCoro::Task<> Kvr840Panel::KVR840RS_Click() {
    m_list->clear();
    m_buttons[QStringLiteral("AutoStop840")]->setEnabled(false);
    m_buttons.setEnabled({QStringLiteral("AutoFaka840"), QStringLiteral("KVR840DC"),
                          QStringLiteral("KVR840AP"), QStringLiteral("KVR840RS")},
                         true);
    m_nextCard->stop();
    m_state.autoRunning = false;
    m_state.successCounted = false;
    m_state.dispensePending = false;
    m_poll->stop();
    const QString word = co_await SendCommand840("RS");
    if (word != kOk)
        co_return;
    m_list->addItem(QStringLiteral("Reset Success"));
    restartPoll(kAfterResetPollMs);
    link::showMessage(QStringLiteral("Reset Success\r\nChecking Working Situation\r\n"
                                     "Wait for 2 Sec for next operation"),
                      QStringLiteral("Message"), link::MsgIcon::Information);
}

QCoro::Task<> Kvr840Panel::preDispense(QByteArray command) {
    m_value->clear();
    m_poll->stop();
    co_await SendCommand840(std::move(command));
    resumePoll();
}

QCoro::Task<> Kvr840Panel::KVR840IP_Click() {
    co_await preDispense("IP");
}

QCoro::Task<> Kvr840Panel::KVR840IE_Click() {
    co_await preDispense("IE");
}

QCoro::Task<> Kvr840Panel::KVR840CS_Click() {
    const int code = baudCode();
    if (code < 0)
        co_return;
    m_value->clear();
    m_poll->stop();
    const QString word = co_await SendCommand840(QByteArray("CSB") + char('0' + code));
    if (word != kOk)
        co_return;
    showBaudChanged(QStringLiteral("Please Reset comm. port"));
    KVR840Close_Click();
}

void Kvr840Panel::KVR840Zero_Click() {
    zeroCounters({m_commands, m_dispensed, m_errors, m_rate});
}

void Kvr840Panel::KVR840Setup_Click() {
    ComPortSet840 dialog(*this, this);
    ui::execModal(dialog);
}

void Kvr840Panel::KVR840Close_Click() {
    closePort(kCloseButtons);
    m_nextCard->stop();
    m_state.autoRunning = false;
    KVR840Zero_Click();
}

void Kvr840Panel::Check8401_Click() {
    const bool on = m_useQuantity->isChecked();
    m_quantity->setEnabled(on);
    QPalette palette = m_quantity->palette();
    palette.setColor(QPalette::Base,
                     on ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Mid));
    m_quantity->setPalette(palette);
    if (on)
        m_autoCount = 0;
}

QCoro::Task<> Kvr840Panel::AutoFaka840_Click() {
    if (!m_useQuantity->isChecked() || leadingNumber(m_quantity->text()) < 1) {
        link::showCaution(QStringLiteral("Auto Dispense Q'ty:999 Max"));
        co_return;
    }
    m_list->clear();
    KVR840Zero_Click();
    m_poll->stop();
    m_buttons.setEnabled(kAutoTestButtons, false);
    m_buttons[QStringLiteral("AutoStop840")]->setEnabled(true);
    m_autoCount = 0;
    m_state.dispensePending = false;
    m_state.successCounted = false;
    m_state.autoRunning = true;
    m_nextCard->stop();
    co_await KVR840DC_Click();
}

void Kvr840Panel::AutoStop840_Click() {
    m_buttons[QStringLiteral("AutoStop840")]->setEnabled(false);
    m_buttons.setEnabled(kAutoTestButtons, true);
    m_nextCard->stop();
    m_state.autoRunning = false;
}

QCoro::Task<> Kvr840Panel::FakaTime840_Timer() {
    co_await KVR840DC_Click();
    m_nextCard->stop();
}

void Kvr840Panel::List8401_DblClick() {
    m_list->clear();
}

} // namespace talvex::dispenser
