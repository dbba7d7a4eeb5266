#include "fakamain.h"

#include "link/serialcomm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex::dispenser {

Fakamain::Fakamain(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Fakamain"));
    setWindowTitle(QStringLiteral("Talvex5.0_EN"));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_page820 = new QWidget(m_tabs);
    m_page820->setObjectName(QStringLiteral("Page820"));
    m_page840 = new QWidget(m_tabs);
    m_page840->setObjectName(QStringLiteral("Page840"));
    m_tabs->addTab(m_page820, QStringLiteral("KVR-820"));
    m_tabs->addTab(m_page840, QStringLiteral("KVR-840"));

    auto *exitButton = new QPushButton(QStringLiteral("Exit"), this);
    exitButton->setObjectName(QStringLiteral("EXIT"));
    connect(exitButton, &QPushButton::clicked, this, &Fakamain::EXIT_Click);

    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName(QStringLiteral("StatusLine"));
    m_statusLine->setWordWrap(true);
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_statusLine, 1);
    bottom->addWidget(exitButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);

    resize(800, 600);
}

void Fakamain::EXIT_Click() {
    close();
}

void Fakamain::showLineReason(const QString &reason) {
    m_statusLine->setText(reason);
}

QString Fakamain::lineReason() const {
    return m_statusLine->text();
}

void Fakamain::watchLine(link::SerialComm &port) {
    port.setTroubleListener([this](const QString &reason) { showLineReason(reason); });
}

void Fakamain::closeEvent(QCloseEvent *event) {
    event->accept();
    // One run serves one device class: without this window there is nothing
    // left to do, whatever helper windows are still open.
    QCoreApplication::quit();
}

} // namespace talvex::dispenser
