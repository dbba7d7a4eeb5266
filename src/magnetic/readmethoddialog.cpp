#include "readmethoddialog.h"

#include "ui/seams.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::magnetic {

KVR523SetReadType::KVR523SetReadType(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KVR523SetReadType"));
    setWindowTitle(QStringLiteral("Set the reading method"));
    m_option1 = new QRadioButton(QStringLiteral("Read while inserting the card"), this);
    m_option1->setObjectName(QStringLiteral("Option1"));
    m_option2 = new QRadioButton(QStringLiteral("Read while pulling the card"), this);
    m_option2->setObjectName(QStringLiteral("Option2"));
    m_notice = new QLabel(QStringLiteral("Notice:"), this);
    m_noticeText = new QLabel(
        QStringLiteral("Stay a second then pull the card out after fully insert the card in"),
        this);
    m_noticeText->setWordWrap(true);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_option1);
    layout->addWidget(m_option2);
    layout->addWidget(m_notice);
    layout->addWidget(m_noticeText);
    layout->addLayout(buttons);

    connect(m_option1, &QRadioButton::toggled, this, &KVR523SetReadType::updateNotice);
    connect(m_option2, &QRadioButton::toggled, this, &KVR523SetReadType::updateNotice);
    connect(ok, &QPushButton::clicked, this, [this] {
        m_method = m_option1->isChecked() ? 0 : m_option2->isChecked() ? 1 : 2;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void KVR523SetReadType::updateNotice() {
    const bool shown = !m_option1->isChecked();
    m_notice->setVisible(shown);
    m_noticeText->setVisible(shown);
}

std::optional<char> KVR523SetReadType::choose(QWidget *parent) {
    KVR523SetReadType dialog(parent);
    ui::execModal(dialog);
    if (dialog.method() == 2)
        return std::nullopt;
    return char('0' + dialog.method());
}

} // namespace talvex::magnetic
