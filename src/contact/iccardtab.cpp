#include "iccardtab.h"

#include "contactcommands.h"
#include "cpucard.h"
#include "samcard.h"

#include "link/exchange.h"
#include "link/serialcomm.h"
#include "memorycard/memorycardpanel.h"
#include "ui/seams.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex::contact {

ICCardTab::ICCardTab(link::ReaderLinkContext &reader, QWidget *parent)
    : QWidget(parent), m_reader(reader), m_operations([this](link::SerialComm &line) {
          m_reader.showStatus(link::busyLineText(line));
      }) {
    setObjectName(QStringLiteral("ICCardTab"));
    m_powerOn = new QPushButton(QStringLiteral("Power on"), this);
    m_powerOn->setObjectName(QStringLiteral("PowerOnBtn"));
    m_powerOff = new QPushButton(QStringLiteral("Power off"), this);
    m_powerOff->setObjectName(QStringLiteral("PowerOffBtn"));

    m_ssTab2 = new QTabWidget(this);
    m_ssTab2->setObjectName(QStringLiteral("SSTab2"));
    // Card type detection brings these pages to the front by index: keep the
    // order CPU, SAM, SLE4428, SLE4442, 24CXX, AT88SC1604, AT88SC1608,
    // AT45D041, AT88SC102.
    m_ssTab2->addTab(buildCpuPage(), QStringLiteral("CPU"));
    m_ssTab2->addTab(buildSamPage(), QStringLiteral("SAM"));
    m_memoryCards = new memorycard::MemoryCardPanel(reader, this);
    m_memoryCards->addPagesTo(m_ssTab2);

    auto *powerRow = new QHBoxLayout;
    powerRow->addWidget(m_powerOn);
    powerRow->addWidget(m_powerOff);
    powerRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(powerRow);
    layout->addWidget(m_ssTab2, 1);
    layout->addWidget(m_memoryCards); // the data grid, for the memory card pages only
    connect(m_ssTab2, &QTabWidget::currentChanged, m_memoryCards,
            [this](int index) { m_memoryCards->setVisible(index >= 2); });
    m_memoryCards->setVisible(false);

    connect(m_powerOn, &QPushButton::clicked, this,
            [this] { start(&ICCardTab::PowerOnBtn_Click); });
    connect(m_powerOff, &QPushButton::clicked, this,
            [this] { start(&ICCardTab::PowerOffBtn_Click); });
    connect(m_cpuRun, &QPushButton::clicked, this, &ICCardTab::CPURUN_Click);
    connect(m_simRun, &QPushButton::clicked, this, &ICCardTab::SIMRUN_Click);
}

QWidget *ICCardTab::buildCpuPage() {
    auto *page = new QWidget(m_ssTab2);
    page->setObjectName(QStringLiteral("ICPageCPU"));
    m_cpuRun = new QPushButton(QStringLiteral("CPU Card Operation"), page);
    m_cpuRun->setObjectName(QStringLiteral("CPURUN"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_cpuRun, 0, Qt::AlignLeft);
    layout->addStretch();
    return page;
}

QWidget *ICCardTab::buildSamPage() {
    auto *page = new QWidget(m_ssTab2);
    page->setObjectName(QStringLiteral("ICPageSAM"));
    m_simRun = new QPushButton(QStringLiteral("Sam Card Operation"), page);
    m_simRun->setObjectName(QStringLiteral("SIMRUN"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_simRun, 0, Qt::AlignLeft);
    layout->addStretch();
    return page;
}

QWidget *ICCardTab::page(const QString &caption) const {
    for (int i = 0; i < m_ssTab2->count(); ++i) {
        if (m_ssTab2->tabText(i) == caption)
            return m_ssTab2->widget(i);
    }
    return nullptr;
}

void ICCardTab::start(Handler handler) {
    m_operations.run(m_reader.readerPort(), [this, handler] { return (this->*handler)(); });
}

QCoro::Task<> ICCardTab::switchPower(bool on) {
    if (!portReady(m_reader))
        co_return;
    const std::optional<QByteArray> reply = co_await exchangeBody(m_reader, slotPowerBody(on));
    if (reply)
        reportStatus(on ? texts::powerOn() : texts::powerOff(), statusAt(*reply, 2));
}

QCoro::Task<> ICCardTab::PowerOnBtn_Click() {
    co_await switchPower(true);
}

QCoro::Task<> ICCardTab::PowerOffBtn_Click() {
    co_await switchPower(false);
}

void ICCardTab::CPURUN_Click() {
    if (!portReady(m_reader))
        return;
    CPUCARD window(m_reader, this);
    ui::execModal(window);
}

void ICCardTab::SIMRUN_Click() {
    if (!portReady(m_reader))
        return;
    SimCard window(m_reader, this);
    ui::execModal(window);
}

} // namespace talvex::contact
