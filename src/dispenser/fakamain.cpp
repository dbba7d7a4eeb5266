#include "fakamain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
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

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(exitButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);

    resize(800, 600);
}

void Fakamain::EXIT_Click() {
    close();
}

void Fakamain::closeEvent(QCloseEvent *event) {
    event->accept();
    // One run serves one device class: without this window there is nothing
    // left to do, whatever helper windows are still open.
    QCoreApplication::quit();
}

} // namespace talvex::dispenser
