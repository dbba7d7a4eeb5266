#pragma once

#include "dispenserlink.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;

namespace talvex::ui {
class StatusLine;
}
namespace talvex::link {
class SerialComm;
}

namespace talvex::dispenser {

class Kvr820Panel;
class Kvr840Panel;

// The dispenser test window: one tab per dispenser model and the shared
// traffic log below them. Closing it ends the program.
class Fakamain : public QWidget, private TrafficLog {
    Q_OBJECT
public:
    explicit Fakamain(QWidget *parent = nullptr);
    ~Fakamain() override;

    QWidget *page820() const;
    QWidget *page840() const;
    Kvr820Panel *kvr820() const { return m_kvr820; }
    Kvr840Panel *kvr840() const { return m_kvr840; }

    // SDTDText exactly as written, CR LF line ends included.
    QString trafficLog() const { return m_logText; }

    void ClearData_Click();
    void SaveTo_Click();
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
    // TrafficLog
    bool keep() const override;
    void clear() override;
    void append(const QString &text) override;

    QTabWidget *m_tabs = nullptr;
    Kvr820Panel *m_kvr820 = nullptr;
    Kvr840Panel *m_kvr840 = nullptr;
    QPlainTextEdit *m_log = nullptr; // SDTDText
    QCheckBox *m_record = nullptr;   // Check1
    ui::StatusLine *m_statusLine = nullptr;
    QString m_logText;
};

} // namespace talvex::dispenser
