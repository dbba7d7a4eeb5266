#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;

namespace talvex::sim {
class ReaderSim;
}

namespace talvex::app {

// The simulated reader's contactless field: which card lies on the antenna
// (a fresh one each time it is presented), or none, and what the card
// remembers between commands.
class ContactlessCardPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ContactlessCardPanel(sim::ReaderSim &reader, QWidget *parent = nullptr);

    void present(); // the chosen card, fresh from the factory; none takes it away
    void refresh();

private:
    sim::ReaderSim &m_reader;
    QComboBox *m_chip = nullptr;
    QLabel *m_state = nullptr;
};

} // namespace talvex::app
