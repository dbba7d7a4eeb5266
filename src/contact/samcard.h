#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QDialog>
#include <array>
#include <optional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contact {

// "Sam Card": reset of the SAM in a chosen socket with its ATR, one APDU at a
// time, power off of the SAMs.
class SimCard : public QDialog {
    Q_OBJECT
public:
    explicit SimCard(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    void SimCard_Form_Load();
    void SAMVOLTAGEOption_Click(int index);
    QCoro::Task<> SimReset_Click();
    QCoro::Task<> SendCmd_Click();
    QCoro::Task<> Down_Click();
    void BackCmd_Click();

    // Closing the window (Exit, Escape, its close box) abandons the command
    // that waits on the reader: it ends without a box.
    void done(int result) override;

    quint8 voltageCode() const { return m_voltage; }

private:
    using Handler = QCoro::Task<> (SimCard::*)();
    void start(Handler handler);

    // The socket code of SimNo1's text; nothing, after the caution box, when
    // the text names no SAM.
    std::optional<quint8> chosenSocket() const;

    link::ReaderLinkContext &m_reader;
    quint8 m_voltage = '0';
    QComboBox *m_simNo1 = nullptr;                      // SimNo1
    std::array<QRadioButton *, 3> m_samVoltageOption{}; // SAMVOLTAGEOption
    QLineEdit *m_resetTextBack = nullptr;               // ResetTextBack
    QComboBox *m_cmdText = nullptr;                     // CmdText
    QPlainTextEdit *m_backText = nullptr;               // BackText
    link::Operations m_operations;
};

} // namespace talvex::contact
