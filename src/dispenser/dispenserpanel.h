#pragma once

#include "comportset820.h"
#include "dispenserpicture.h"
#include "panelparts.h"

#include "link/operations.h"
#include "link/serialcomm.h"

#include <QCoro/QCoroTask>

#include <QWidget>
#include <functional>
#include <initializer_list>

class QComboBox;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace talvex::dispenser {

class WindowTimer;

// What the two dispenser tabs have alike: the model's port and the report of
// its run-time errors, the command buttons, the status list and value box, the
// baud rate list, the picture, the 100 ms status poll and the tab's
// arrangement. Each model's tab adds its commands, counters and cycles.
class DispenserPanel : public QWidget, public DispenserPortOwner {
    Q_OBJECT
public:
    ~DispenserPanel() override;

    int autoCount() const { return m_autoCount; }
    DispenserPicture *picture() const { return m_picture; }

    // DispenserPortOwner
    link::SerialComm &port() override { return m_port; }
    void stopPoll() override;
    void reportCause(const QString &cause) override { m_reportCause(cause); }
    link::Operations &operations() override { return m_operations; }
    QString tabHolding(int port) const override;

    // The other tab of the window, named when both want one port.
    void setSibling(const DispenserPanel *sibling) { m_sibling = sibling; }

protected:
    static constexpr int kPollMs = 100;

    DispenserPanel(const char *pageName, const char *pollName, const QString &tabName,
                   std::function<void(const QString &)> reportCause, QWidget *parent);
    void connectTick(WindowTimer *timer, std::function<void()> tick);

    template <class Panel>
    QPushButton *addButton(const char *name, const QString &caption, void (Panel::*handler)()) {
        return m_buttons.add(this, name, caption,
                             [this, handler] { (static_cast<Panel *>(this)->*handler)(); });
    }
    // A button whose handler talks to the dispenser: started on this tab's
    // line unless a command holds it (then the status line says so).
    template <class Panel>
    QPushButton *addButton(const char *name, const QString &caption,
                           QCoro::Task<> (Panel::*handler)()) {
        return m_buttons.add(this, name, caption, [this, handler] {
            m_operations.run(m_port,
                             [this, handler] { return (static_cast<Panel *>(this)->*handler)(); });
        });
    }
    // A window timer's tick: skipped while the line is busy, never queued,
    // except that a step's tick waits for a status poll in progress to end.
    template <class Panel>
    void onTick(WindowTimer *timer, QCoro::Task<> (Panel::*handler)(),
                link::Operations::Start start = link::Operations::Start::Timer) {
        connectTick(timer, [this, handler, start] {
            m_operations.run(
                m_port, [this, handler] { return (static_cast<Panel *>(this)->*handler)(); },
                start);
        });
    }
    QComboBox *addBaudList(const char *name, QWidget *parent);
    // The status list, the value box and the picture.
    void addStatusViews(const char *listName, const char *valueName, DispenserPicture::Model model);
    // The command frame, the status column and the picture on top, the
    // counters and the "Auto Test" frame below, the port buttons at the foot.
    void arrange(QWidget *commandFrame, QLayout *counters, QWidget *autoFrame,
                 std::initializer_list<QPushButton *> portButtons);

    // The cause goes to the status line; a closed port is also said once,
    // with the poll stopped until a command finds the port open again.
    void portError(int errorNumber);
    // Before each exchange: a closed port is found out anew.
    void forgetPortClosed() { m_portClosedSeen = false; }
    // Starts the poll again after a handler, unless its exchange found the
    // port closed: that was said once and stopped the poll for good.
    void resumePoll();
    void restartPoll(int intervalMs);
    // The rate code of the baud list's text; -1, after the caution, for a
    // text that is none of the six rates.
    int baudCode() const;
    void showBaudChanged(const QString &lastLine) const;
    // Ignoring any error: the port closed, the poll stopped, the status list
    // emptied and the command buttons disabled.
    void closePort(const QStringList &commandButtons);

    link::SerialComm m_port;
    bool m_portClosedSeen = false;
    int m_autoCount = 0;
    ButtonSet m_buttons;
    WindowTimer *m_poll = nullptr;
    QComboBox *m_baud = nullptr;
    QListWidget *m_list = nullptr;
    QLineEdit *m_value = nullptr;
    DispenserPicture *m_picture = nullptr;

private:
    std::function<void(const QString &)> m_reportCause;
    QString m_tabName;
    const DispenserPanel *m_sibling = nullptr;

protected:
    // After the port, so that it goes first: a command still waiting is
    // abandoned while its line still stands.
    link::Operations m_operations;
};

} // namespace talvex::dispenser
