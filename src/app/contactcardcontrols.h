#pragma once

#include <QGroupBox>
#include <QList>

class QCheckBox;
class QComboBox;

namespace talvex::sim {
class ReaderSim;
}

namespace talvex::app {

// The simulated reader's contact IC module: a CPU card in the slot answering
// its reset in T=0 or T=1, and the SAMs in sockets 1 to 8.
class ContactCardControls : public QGroupBox {
    Q_OBJECT
public:
    explicit ContactCardControls(sim::ReaderSim &reader, QWidget *parent = nullptr);

    // Shows what the reader holds now; the card may have changed elsewhere.
    void refresh();

private:
    void slotCardChosen();
    void samsChosen();

    sim::ReaderSim &m_reader;
    QCheckBox *m_cpuCard = nullptr;
    QComboBox *m_cpuProtocol = nullptr;
    QList<QCheckBox *> m_samPresent;
    QList<QComboBox *> m_samProtocol;
};

} // namespace talvex::app
