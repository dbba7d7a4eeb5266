#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;

namespace talvex::sim {
class ReaderSim;
}

namespace talvex::app {

// Which memory card the simulated reader holds: a fresh card of any of the
// seven families (each AT24C size on its own), and what the card in the
// reader is now.
class MemoryCardSimControls : public QGroupBox {
    Q_OBJECT
public:
    explicit MemoryCardSimControls(sim::ReaderSim &reader, QWidget *parent = nullptr);

    void insertCard();
    void refresh();

private:
    sim::ReaderSim &m_reader;
    QComboBox *m_type = nullptr;
    QLabel *m_state = nullptr;
};

} // namespace talvex::app
