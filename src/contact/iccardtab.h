#pragma once

#include "link/operations.h"

#include <QCoro/QCoroTask>
#include <QWidget>

class QPushButton;
class QTabWidget;

namespace talvex::link {
class ReaderLinkContext;
}

namespace talvex::memorycard {
class MemoryCardPanel;
}

namespace talvex::contact {

// The "IC CARD" tab: the power of the card in the slot, and the inner tab
// strip with the CPU card, the SAMs and the memory card families, one page
// each.
class ICCardTab : public QWidget {
    Q_OBJECT
public:
    explicit ICCardTab(link::ReaderLinkContext &reader, QWidget *parent = nullptr);

    QTabWidget *cardTabs() const { return m_ssTab2; } // SSTab2
    // The page for a card family, by its caption ("CPU", "SLE4442", ...).
    QWidget *page(const QString &caption) const;
    memorycard::MemoryCardPanel *memoryCards() const { return m_memoryCards; }

    QCoro::Task<> PowerOnBtn_Click();
    QCoro::Task<> PowerOffBtn_Click();
    void CPURUN_Click();
    void SIMRUN_Click();

private:
    QWidget *buildCpuPage();
    QWidget *buildSamPage();
    using Handler = QCoro::Task<> (ICCardTab::*)();
    void start(Handler handler);
    QCoro::Task<> switchPower(bool on);

    link::ReaderLinkContext &m_reader;
    QTabWidget *m_ssTab2 = nullptr;
    memorycard::MemoryCardPanel *m_memoryCards = nullptr;
    QPushButton *m_powerOn = nullptr;  // PowerOnBtn
    QPushButton *m_powerOff = nullptr; // PowerOffBtn
    QPushButton *m_cpuRun = nullptr;   // CPURUN
    QPushButton *m_simRun = nullptr;   // SIMRUN
    link::Operations m_operations;
};

} // namespace talvex::contact
