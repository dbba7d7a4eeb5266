#pragma once

#include "comportset820.h"
#include "dispenserpicture.h"
#include "panelparts.h"

#include "link/serialcomm.h"

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

protected:
    static constexpr int kPollMs = 100;

    DispenserPanel(const char *pageName, const char *pollName,
                   std::function<void(const QString &)> reportCause, QWidget *parent);

    template <class Panel>
    QPushButton *addButton(const char *name, const QString &caption, void (Panel::*handler)()) {
        return m_buttons.add(this, name, caption,
                             [this, handler] { (static_cast<Panel *>(this)->*handler)(); });
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
};

} // namespace talvex::dispenser
