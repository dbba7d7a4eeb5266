#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QSpinBox;

namespace talvex::sim {
class ReaderSim;
class DispenserSim;
} // namespace talvex::sim

namespace talvex::app {

class ReaderControlSimBox;

// The demo's control panel for the simulated devices: which port and
// pseudo-terminal each one sits on, and the reader's model, speed, card and
// next fault. Changes reach the devices at once.
class SimDevicesDialog : public QWidget {
    Q_OBJECT
public:
    SimDevicesDialog(sim::ReaderSim &reader, int readerPort, sim::DispenserSim &kvr820,
                     int kvr820Port, sim::DispenserSim &kvr840, int kvr840Port,
                     QWidget *parent = nullptr);

private:
    void modelChosen();
    void baudChosen();
    void cardChosen();
    void armFault();
    void reconnectReader();
    void refresh();

    sim::ReaderSim &m_reader;
    int m_readerPort;
    sim::DispenserSim &m_kvr820;
    int m_kvr820Port;
    sim::DispenserSim &m_kvr840;
    int m_kvr840Port;

    QLabel *m_readerLine = nullptr;
    QLabel *m_kvr820Line = nullptr;
    QLabel *m_kvr840Line = nullptr;
    QComboBox *m_model = nullptr;
    QComboBox *m_baud = nullptr;
    QComboBox *m_cardKind = nullptr;
    QComboBox *m_cardPlace = nullptr;
    QComboBox *m_fault = nullptr;
    QSpinBox *m_faultDelay = nullptr;
    QSpinBox *m_faultCode = nullptr;
    QLabel *m_pendingFault = nullptr;
    ReaderControlSimBox *m_readerControl = nullptr;
};

} // namespace talvex::app
