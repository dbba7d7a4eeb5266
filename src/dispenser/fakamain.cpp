#include "fakamain.h"

#include "kvr820panel.h"
#include "kvr840panel.h"

#include "link/messages.h"
#include "link/recordfile.h"
#include "link/serialcomm.h"
#include "ui/busycursor.h"
#include "ui/seams.h"
#include "ui/statusline.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

namespace talvex::dispenser {

Fakamain::Fakamain(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Fakamain"));
    setWindowTitle(QStringLiteral("Talvex5.0_EN"));

    const auto cause = [this](const QString &text) { showLineReason(text); };
    TrafficLog &log = *this;
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_kvr820 = new Kvr820Panel(log, cause, m_tabs);
    m_kvr840 = new Kvr840Panel(log, cause, m_tabs);
    m_tabs->addTab(m_kvr820, QStringLiteral("KVR-820"));
    m_tabs->addTab(m_kvr840, QStringLiteral("KVR-840"));
    m_kvr820->setSibling(m_kvr840);
    m_kvr840->setSibling(m_kvr820);
    watchLine(m_kvr820->port());
    watchLine(m_kvr840->port());

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("SDTDText"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Endless cycles write here for hours; an undo history would keep every
    // line ever cleared.
    m_log->setUndoRedoEnabled(false);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_log->setFont(mono);

    auto *clearButton = new QPushButton(QStringLiteral("Clear Data"), this);
    clearButton->setObjectName(QStringLiteral("ClearData"));
    m_record = new QCheckBox(QStringLiteral("Record Data"), this);
    m_record->setObjectName(QStringLiteral("Check1"));
    auto *saveButton = new QPushButton(QStringLiteral("Save to"), this);
    saveButton->setObjectName(QStringLiteral("SaveTo"));
    auto *exitButton = new QPushButton(QStringLiteral("Exit"), this);
    exitButton->setObjectName(QStringLiteral("EXIT"));
    connect(clearButton, &QPushButton::clicked, this, &Fakamain::ClearData_Click);
    connect(saveButton, &QPushButton::clicked, this, &Fakamain::SaveTo_Click);
    connect(exitButton, &QPushButton::clicked, this, &Fakamain::EXIT_Click);

    m_statusLine = new ui::StatusLine(this);
    ui::showBusyCursorDuringLongWaits();

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(clearButton);
    bottom->addWidget(m_record);
    bottom->addWidget(saveButton);
    bottom->addWidget(m_statusLine, 1);
    bottom->addWidget(exitButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 3);
    layout->addWidget(m_log, 1);
    layout->addLayout(bottom);

    resize(980, 720);
}

Fakamain::~Fakamain() = default;

QWidget *Fakamain::page820() const {
    return m_kvr820;
}

QWidget *Fakamain::page840() const {
    return m_kvr840;
}

bool Fakamain::keep() const {
    return m_record->isChecked();
}

void Fakamain::clear() {
    m_logText.clear();
    m_log->clear();
}

void Fakamain::append(const QString &text) {
    m_logText += text;
    // The box shows lines; the text keeps the CR LF the saved file needs.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    QTextCursor cursor(m_log->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
}

void Fakamain::showLineReason(const QString &reason) {
    m_statusLine->showReason(reason);
}

QString Fakamain::lineReason() const {
    return m_statusLine->text();
}

void Fakamain::watchLine(link::SerialComm &port) {
    port.setSetupButtonCaption(QStringLiteral("Comm Setup"));
    port.setTroubleListener([this](const QString &reason) { showLineReason(reason); });
}

void Fakamain::ClearData_Click() {
    clear();
}

void Fakamain::SaveTo_Click() {
    const QString path = ui::askTextSavePath(this);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    link::showMessage(QStringLiteral("File Name Is ") + info.fileName() +
                          QStringLiteral("\r\nFull path and file Is ") + info.absoluteFilePath(),
                      QStringLiteral("Save As..."), link::MsgIcon::None);
    // The message above stands; the real outcome goes to the status line.
    m_statusLine->noteFileWrite(
        link::writeTextFile(path, m_logText.trimmed(), link::WriteMode::Replace));
}

void Fakamain::EXIT_Click() {
    m_kvr820->KVR820Close_Click();
    m_kvr840->KVR840Close_Click();
    close();
}

void Fakamain::closeEvent(QCloseEvent *event) {
    event->accept();
    // A command still waiting on a dispenser ends here, without a box.
    m_kvr820->KVR820Close_Click();
    m_kvr840->KVR840Close_Click();
    // One run serves one device class: without this window there is nothing
    // left to do, whatever helper windows are still open.
    QCoreApplication::quit();
}

} // namespace talvex::dispenser
