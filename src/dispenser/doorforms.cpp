#include "doorforms.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::dispenser {

QString doorCodeText(char code) {
    switch (code) {
    case '0':
        return QStringLiteral("Prohibit the card in");
    case '1':
        return QStringLiteral("Allow the card in and move card to Error Card Bin");
    case '2':
        return QStringLiteral("Allow the card in and move card To Expansibility ");
    default:
        return {};
    }
}

KVR820DoorSiForm::KVR820DoorSiForm(char code, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KVR820DoorSiForm"));
    setWindowTitle(QStringLiteral("Door Status"));
    auto *caption = new QLabel(QStringLiteral("Enter Control Option"), this);
    auto *value = new QLabel(doorCodeText(code), this);
    value->setObjectName(QStringLiteral("DoorText"));
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(value);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

KVR820DoorSetForm::KVR820DoorSetForm(char current, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KVR820DoorSetForm"));
    setWindowTitle(QStringLiteral("Door Set"));
    auto *frame = new QGroupBox(QStringLiteral("Enter Control\r\n Option"), this);
    auto *options = new QVBoxLayout(frame);
    for (int i = 0; i < 3; ++i) {
        const char code = char('0' + i);
        m_options[i] = new QRadioButton(doorCodeText(code), frame);
        m_options[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        m_options[i]->setChecked(code == current);
        options->addWidget(m_options[i]);
    }
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(ok, &QPushButton::clicked, this, &KVR820DoorSetForm::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &KVR820DoorSetForm::CancelButton_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
}

void KVR820DoorSetForm::OKButton_Click() {
    m_chosen = '\0';
    for (int i = 0; i < 3; ++i) {
        if (m_options[i]->isChecked())
            m_chosen = char('0' + i);
    }
    accept();
}

void KVR820DoorSetForm::CancelButton_Click() {
    m_chosen = '\0';
    reject();
}

} // namespace talvex::dispenser
