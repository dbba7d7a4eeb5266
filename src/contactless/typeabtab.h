#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::contactless {

// The "TYPE A /TYPE B" tab: ISO/IEC 14443 processor cards. Polls a card,
// reads a type A serial number, sends one command APDU and deselects.
class TypeABTab : public QWidget {
    Q_OBJECT
public:
    explicit TypeABTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QGroupBox *cpuCardFrame() const { return m_rfcardFrame2; } // RFcardFrame2

    // Each awaits the reader; the buttons start them one at a time on the line.
    QCoro::Task<> select_Card_Click();
    QCoro::Task<> CPUTypeASNCmd_Click();
    QCoro::Task<> SendCmd_Click();
    QCoro::Task<> Deselect_Card_Click();

private:
    link::ReaderLinkContext &m_reader;
    link::Operations m_operations;
    QGroupBox *m_rfcardFrame2 = nullptr;
    QRadioButton *m_typeA = nullptr;   // CPUOption1
    QLineEdit *m_selectText = nullptr; // ATR
    QComboBox *m_cmdText = nullptr;    // C_APDU
    QLineEdit *m_backText = nullptr;   // R_APDU
    QLabel *m_serial = nullptr;        // CPURFmessage
};

} // namespace talvex::contactless
