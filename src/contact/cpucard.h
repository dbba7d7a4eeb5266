#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contact {

// "CPU Card": reset of the card in the slot with its ATR, one APDU at a time,
// power off.
class CPUCARD : public QDialog {
    Q_OBJECT
public:
    explicit CPUCARD(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QCoro::Task<> CPUColdReset_Click();
    QCoro::Task<> CPUWarmReset_Click();
    QCoro::Task<> SendCmd_Click();
    QCoro::Task<> Down_Click();
    void BackCmd_Click();

    // Closing the window (Exit, Escape, its close box) abandons the command
    // that waits on the reader: it ends without a box.
    void done(int result) override;

private:
    using Handler = QCoro::Task<> (CPUCARD::*)();
    void start(Handler handler);
    QCoro::Task<> reset(QByteArray body);

    link::ReaderLinkContext &m_reader;
    QRadioButton *m_emvMode = nullptr;    // Option1
    QRadioButton *m_isoMode = nullptr;    // Option2
    QLineEdit *m_resetText = nullptr;     // ResetText
    QComboBox *m_cmdText = nullptr;       // CmdText
    QPlainTextEdit *m_backText = nullptr; // BackText
    link::Operations m_operations;
};

} // namespace talvex::contact
