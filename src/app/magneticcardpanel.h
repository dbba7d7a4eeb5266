#pragma once

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace talvex::sim {
class ReaderSim;
}

namespace talvex::app {

// The simulated reader's magnetic card: the three tracks and a fault for each,
// a swipe (or insertion, on a motorised reader) by hand, and the card feeder
// for endurance runs.
class MagneticCardPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit MagneticCardPanel(sim::ReaderSim &reader, QWidget *parent = nullptr);

private:
    void applyCard();
    void restoreTestData();
    void applyFeeder();
    void refresh();
    void showCard();

    sim::ReaderSim &m_reader;
    QLineEdit *m_track[3] = {};
    QComboBox *m_fault[3] = {};
    QCheckBox *m_feeder = nullptr;
    QSpinBox *m_feedDelay = nullptr;
    QLabel *m_problem = nullptr;
    QLabel *m_state = nullptr;
};

} // namespace talvex::app
