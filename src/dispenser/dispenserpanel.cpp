#include "dispenserpanel.h"

#include "windowtimer.h"

#include "link/messages.h"
#include "link/serialerror.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::dispenser {

DispenserPanel::DispenserPanel(const char *pageName, const char *pollName, const QString &tabName,
                               std::function<void(const QString &)> reportCause, QWidget *parent)
    : QWidget(parent), m_reportCause(std::move(reportCause)), m_tabName(tabName),
      m_operations([this](link::SerialComm &line) { m_reportCause(link::busyLineText(line)); }) {
    setObjectName(QLatin1String(pageName));
    m_poll = new WindowTimer(QLatin1String(pollName), kPollMs, this);
}

void DispenserPanel::connectTick(WindowTimer *timer, std::function<void()> tick) {
    connect(timer, &WindowTimer::timeout, this, std::move(tick));
}

QString DispenserPanel::tabHolding(int port) const {
    if (m_sibling && m_sibling->m_port.PortOpen() && m_sibling->m_port.CommPort() == port)
        return m_sibling->m_tabName;
    return {};
}

DispenserPanel::~DispenserPanel() = default;

void DispenserPanel::stopPoll() {
    m_poll->stop();
}

QComboBox *DispenserPanel::addBaudList(const char *name, QWidget *parent) {
    m_baud = editableList(name, kBaudRateTexts, QStringLiteral("9600"), parent);
    return m_baud;
}

void DispenserPanel::addStatusViews(const char *listName, const char *valueName,
                                    DispenserPicture::Model model) {
    m_list = new QListWidget(this);
    m_list->setObjectName(QLatin1String(listName));
    m_value = new QLineEdit(this);
    m_value->setObjectName(QLatin1String(valueName));
    m_value->setReadOnly(true);
    m_picture = new DispenserPicture(model, this);
}

void DispenserPanel::arrange(QWidget *commandFrame, QLayout *counters, QWidget *autoFrame,
                             std::initializer_list<QPushButton *> portButtons) {
    auto *statusColumn = new QVBoxLayout;
    statusColumn->addWidget(m_value);
    statusColumn->addWidget(m_list, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(commandFrame);
    top->addLayout(statusColumn, 1);
    top->addWidget(m_picture);
    auto *middle = new QHBoxLayout;
    middle->addLayout(counters, 1);
    middle->addWidget(autoFrame);
    auto *portRow = new QHBoxLayout;
    for (QPushButton *button : portButtons)
        portRow->addWidget(button);
    portRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(middle);
    layout->addLayout(portRow);
}

void DispenserPanel::portError(int errorNumber) {
    m_reportCause(portErrorCause(m_port, errorNumber));
    if (errorNumber != link::kPortNotOpen)
        return;
    m_portClosedSeen = true;
    link::showCaution(QStringLiteral("Setup Comm. Port first"));
    m_poll->stop();
}

void DispenserPanel::resumePoll() {
    if (!m_portClosedSeen)
        m_poll->start();
}

void DispenserPanel::restartPoll(int intervalMs) {
    m_poll->setInterval(intervalMs);
    resumePoll();
}

int DispenserPanel::baudCode() const {
    const auto code = int(kBaudRateTexts.indexOf(m_baud->currentText()));
    if (code < 0)
        link::showCaution(QStringLiteral("Invalid Baud Rate Setting"));
    return code;
}

void DispenserPanel::showBaudChanged(const QString &lastLine) const {
    link::showMessage(QStringLiteral("Baud Rate Setting Success\r\nBaud Rate\r\n") +
                          m_baud->currentText() + QStringLiteral("\r\n") + lastLine,
                      QStringLiteral("Information"), link::MsgIcon::Information);
}

void DispenserPanel::closePort(const QStringList &commandButtons) {
    try {
        m_port.setPortOpen(false);
    } catch (const link::SerialError &) {
        // Closing is all that is asked; a port already gone is closed.
    }
    m_poll->stop();
    m_list->clear();
    m_buttons.setEnabled(commandButtons, false);
    portLost();
}

} // namespace talvex::dispenser
