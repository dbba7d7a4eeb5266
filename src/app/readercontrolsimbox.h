#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace talvex::sim {
class ReaderSim;
}

namespace talvex::app {

// The simulated reader's own settings in the "Simulated devices" window: what
// card type detection reports for the card, the serial number, how long a
// card move takes, and what the control commands last set (entry, stop
// position, reading method, lights, line speed).
class ReaderControlSimBox : public QGroupBox {
    Q_OBJECT
public:
    explicit ReaderControlSimBox(sim::ReaderSim &reader, QWidget *parent = nullptr);

    void refresh();

private:
    void typeChosen();

    sim::ReaderSim &m_reader;
    QComboBox *m_cardType = nullptr;
    QLineEdit *m_serialNumber = nullptr;
    QSpinBox *m_moveTime = nullptr;
    QLabel *m_settings = nullptr;
};

} // namespace talvex::app
