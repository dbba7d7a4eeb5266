#include "apducontrols.h"

#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::contact {

const QStringList &readyApduCommands() {
    static const QStringList commands = {QStringLiteral("0084000008"),
                                         QStringLiteral("00A40000023F00"),
                                         QStringLiteral("00A404000E315041592E5359532E4444463031")};
    return commands;
}

QString initialApduCommand() {
    return QStringLiteral("00A40000023F00");
}

ApduControls buildApduControls(QDialog *window, QVBoxLayout *layout, const QString &atrName) {
    ApduControls c;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto *atrLabel = new QLabel(QStringLiteral("ATR Information"), window);
    atrLabel->setObjectName(QStringLiteral("ResetLabel"));
    c.atr = new QLineEdit(window);
    c.atr->setObjectName(atrName);
    c.atr->setReadOnly(true);
    c.atr->setFont(fixed);
    atrLabel->setBuddy(c.atr);

    auto *cmdLabel = new QLabel(QStringLiteral("APDU Command"), window);
    cmdLabel->setObjectName(QStringLiteral("CmdLabel"));
    c.command = new QComboBox(window);
    c.command->setObjectName(QStringLiteral("CmdText"));
    c.command->setEditable(true);
    // Typing must not add entries: the list is the ready-made commands.
    c.command->setInsertPolicy(QComboBox::NoInsert);
    c.command->setFont(fixed);
    c.command->addItems(readyApduCommands());
    c.command->setCurrentText(initialApduCommand());
    cmdLabel->setBuddy(c.command);

    auto *backLabel = new QLabel(QStringLiteral("Returned Value"), window);
    backLabel->setObjectName(QStringLiteral("BackLabel"));
    c.response = new QPlainTextEdit(window);
    c.response->setObjectName(QStringLiteral("BackText"));
    c.response->setReadOnly(true);
    c.response->setFont(fixed);
    c.response->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    c.response->setWordWrapMode(QTextOption::WrapAnywhere);
    backLabel->setBuddy(c.response);

    c.send = new QPushButton(QStringLiteral("Send APDU"), window);
    c.send->setObjectName(QStringLiteral("SendCmd"));
    c.powerOff = new QPushButton(QStringLiteral("Power Off"), window);
    c.powerOff->setObjectName(QStringLiteral("Down"));
    c.exit = new QPushButton(QStringLiteral("Exit"), window);
    c.exit->setObjectName(QStringLiteral("BackCmd"));
    // Return in the command box sends it; Return on a button that has the
    // focus presses that button (each is auto-default, so it takes Return
    // while it holds the focus and gives it back to "Send APDU" after).
    for (QPushButton *b : {c.send, c.powerOff, c.exit})
        b->setAutoDefault(true);
    c.send->setDefault(true);

    auto *grid = new QGridLayout;
    grid->addWidget(atrLabel, 0, 0);
    grid->addWidget(c.atr, 0, 1);
    grid->addWidget(cmdLabel, 1, 0);
    grid->addWidget(c.command, 1, 1);
    grid->addWidget(backLabel, 2, 0, Qt::AlignTop);
    grid->addWidget(c.response, 2, 1);
    grid->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(c.send);
    buttons->addWidget(c.powerOff);
    buttons->addWidget(c.exit);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
    return c;
}

} // namespace talvex::contact
