#pragma once

#include <QByteArray>
#include <QGroupBox>

class QPushButton;

namespace talvex::reader {

class ReaderWindow;

// The "COMMON" frame (FrameComm) beside the tabs: the commands that act on the
// reader itself, and the port buttons that the window wires to its own
// handlers. It keeps what outlives one click: the entry states the reader
// last reported, the stop positions, the sensor snapshots.
class CommonFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit CommonFrame(ReaderWindow &reader, QWidget *parent = nullptr);

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

    void IRRESET_Click();
    void IRStatus_Click();
    void SensorState_Click();
    void IRProhibit_Click();
    void IRPOP_Click();
    void IRWeizhi_Click();
    void IRCARDTYPE_Click();
    void IRcomb_Click();

    // Move the card to the IC card operation position; sets cardMoved() on "Y".
    void MoveCardToIcPosition();
    bool cardMoved() const { return m_cardMoved; }

    int currentStopPosition() const { return m_currentStopPosition; }
    int chosenStopPosition() const { return m_chosenStopPosition; }
    int frontEntryState() const { return m_frontEntryState; }
    int rearEntryState() const { return m_rearEntryState; }
    QByteArray sensorSnapshot638() const { return m_sensors638; }
    QByteArray sensorSnapshot690() const { return m_sensors690; }

private:
    // Frames body, runs the exchange; true on 0 with a reply.
    bool send(const QByteArray &body);
    bool portReady() const;
    void silentStatusQuery();
    void enterControl638();
    void enterControl690();
    void moveCard690(int value);
    void detectCardType();

    ReaderWindow &m_reader;
    QByteArray m_reply;
    qint16 m_replyLength = 0;

    QByteArray m_sensors638 = QByteArray(4, '\0');
    QByteArray m_sensors690 = QByteArray(8, '\0');
    int m_frontEntryState = 0;
    int m_rearEntryState = 0;
    int m_currentStopPosition = 0;
    // The window opens with the RF card operation position chosen.
    int m_chosenStopPosition = 3;
    bool m_cardMoved = false;

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
