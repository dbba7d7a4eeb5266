#pragma once

#include "link/operations.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QGroupBox>
#include <QPointer>

class QPushButton;

namespace talvex::reader {

class CardPosition;
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

    // The handlers that talk to the reader await it; their buttons start them
    // as commands of the frame, refused while the reader's line is busy.
    QCoro::Task<> IRRESET_Click();
    QCoro::Task<> IRStatus_Click();
    QCoro::Task<> SensorState_Click();
    QCoro::Task<> IRProhibit_Click();
    // Eject; the KVR-690's move dialog stays open, and each of its "OK"s
    // starts one move.
    void IRPOP_Click();
    // The stop position dialog; its "OK" sends, shows the result, then closes it.
    void IRWeizhi_Click();
    QCoro::Task<> IRCARDTYPE_Click();
    QCoro::Task<> IRcomb_Click();

    // Move the card to the IC card operation position; sets cardMoved() on "Y".
    QCoro::Task<> MoveCardToIcPosition();
    bool cardMoved() const { return m_cardMoved; }

    int currentStopPosition() const { return m_currentStopPosition; }
    int chosenStopPosition() const { return m_chosenStopPosition; }
    int frontEntryState() const { return m_frontEntryState; }
    int rearEntryState() const { return m_rearEntryState; }
    QByteArray sensorSnapshot638() const { return m_sensors638; }
    QByteArray sensorSnapshot690() const { return m_sensors690; }

private:
    // Starts a command on the reader's line unless one runs there already.
    void start(const link::Operations::Handler &handler);
    // Frames body, runs the exchange; true on 0 with a reply.
    QCoro::Task<bool> send(QByteArray body);
    bool portReady() const;
    QCoro::Task<> eject();
    QCoro::Task<> silentStatusQuery();
    QCoro::Task<> enterControl638();
    QCoro::Task<> enterControl690();
    QCoro::Task<> moveCard690(int value);
    QCoro::Task<> setStopPosition(QPointer<CardPosition> dialog, char pm);
    QCoro::Task<> detectCardType();

    ReaderWindow &m_reader;
    link::Operations m_operations;
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
