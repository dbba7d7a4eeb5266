#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace talvex::sim {
class DispenserSim;
}

namespace talvex::app {

// The controls of one simulated dispenser in the "Simulated devices" window:
// cards in the stacker, the card waiting at the door, motor times and the
// next fault. Changes reach the dispenser at once.
class DispenserControls final : public QGroupBox {
    Q_OBJECT
public:
    DispenserControls(sim::DispenserSim &dispenser, QWidget *parent = nullptr);

private:
    void fillStacker();
    void emptyBin();
    void takeCard();
    void armFault();
    void mechanicsChanged();
    void refresh();

    sim::DispenserSim &m_dispenser;
    QString m_prefix; // "Kvr820" or "Kvr840", for the control names
    QSpinBox *m_stacker = nullptr;
    QSpinBox *m_dispenseMs = nullptr;
    QCheckBox *m_hold = nullptr;
    QComboBox *m_fault = nullptr;
    QSpinBox *m_faultDelay = nullptr; // for the late kinds
    QLabel *m_state = nullptr;
};

} // namespace talvex::app
