#pragma once

#include <QWidget>

class QLabel;
class QTabWidget;

namespace talvex::link {
class SerialComm;
}

namespace talvex::dispenser {

// The dispenser test window: one tab per dispenser model and the shared
// controls below them. Closing it ends the program.
class Fakamain : public QWidget {
    Q_OBJECT
public:
    explicit Fakamain(QWidget *parent = nullptr);

    QWidget *page820() const { return m_page820; }
    QWidget *page840() const { return m_page840; }

    void EXIT_Click();

    // The status line at the foot of the window: what really went wrong where
    // a message box's fixed text does not say it (a line that went away,
    // permission denied, a file that could not be written). Empty clears it.
    void showLineReason(const QString &reason);
    QString lineReason() const;
    // Shows the line's own reasons (link::SerialComm::lineTrouble) as they
    // change; the port must outlive this window's use of it.
    void watchLine(link::SerialComm &port);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QTabWidget *m_tabs = nullptr;
    QWidget *m_page820 = nullptr;
    QWidget *m_page840 = nullptr;
    QLabel *m_statusLine = nullptr;
};

} // namespace talvex::dispenser
