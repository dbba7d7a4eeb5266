#pragma once

#include <QGroupBox>

class QPushButton;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::reader {

// The "COMMON" frame (FrameComm) beside the tabs: the commands that act on the
// reader itself, and the port buttons that the window wires to its own handlers.
class CommonFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit CommonFrame(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QPushButton *resetButton() const { return m_irreset; }           // IRRESET
    QPushButton *statusButton() const { return m_irstatus; }         // IRStatus
    QPushButton *sensorButton() const { return m_sensorState; }      // SensorState
    QPushButton *stopPositionButton() const { return m_irweizhi; }   // IRWeizhi
    QPushButton *baudRateButton() const { return m_ircomb; }         // IRcomb
    QPushButton *ejectButton() const { return m_irpop; }             // IRPOP
    QPushButton *setupCommButton() const { return m_iropencom; }     // IROpencom
    QPushButton *closeCommButton() const { return m_irclosecom; }    // IRCLOSECOM
    QPushButton *cardTypeButton() const { return m_ircardtype; }     // IRCARDTYPE
    QPushButton *enterControlButton() const { return m_irprohibit; } // IRProhibit

private:
    link::ReaderLinkContext &m_reader;
    QPushButton *m_irreset = nullptr;
    QPushButton *m_irstatus = nullptr;
    QPushButton *m_sensorState = nullptr;
    QPushButton *m_irweizhi = nullptr;
    QPushButton *m_ircomb = nullptr;
    QPushButton *m_irpop = nullptr;
    QPushButton *m_iropencom = nullptr;
    QPushButton *m_irclosecom = nullptr;
    QPushButton *m_ircardtype = nullptr;
    QPushButton *m_irprohibit = nullptr;
};

} // namespace talvex::reader
