#pragma once

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

    void CPUColdReset_Click();
    void CPUWarmReset_Click();
    void SendCmd_Click();
    void Down_Click();
    void BackCmd_Click();

private:
    void reset(const QByteArray &body);

    link::ReaderLinkContext &m_reader;
    QRadioButton *m_emvMode = nullptr;    // Option1
    QRadioButton *m_isoMode = nullptr;    // Option2
    QLineEdit *m_resetText = nullptr;     // ResetText
    QComboBox *m_cmdText = nullptr;       // CmdText
    QPlainTextEdit *m_backText = nullptr; // BackText
};

} // namespace talvex::contact
