#include "kvr523setreadtype.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvex::reader {

KVR523SetReadType::KVR523SetReadType(QWidget *parent)
    : OptionForm(QStringLiteral("KVR523SetReadType"), QStringLiteral("Set the reading method"),
                 parent) {
    QGroupBox *frame = addFrame(QString());
    QRadioButton *inserting = addOption(frame, 1, QStringLiteral("Read while inserting the card"));
    QRadioButton *pulling = addOption(frame, 2, QStringLiteral("Read while pulling the card"));
    m_notice = new QLabel(QStringLiteral("Notice:"), this);
    m_notice->setObjectName(QStringLiteral("NoticeLabel"));
    m_noticeText = new QLabel(
        QStringLiteral("Stay a second then pull the card out after fully insert the card in"),
        this);
    m_noticeText->setObjectName(QStringLiteral("NoticeText"));
    m_noticeText->setWordWrap(true);
    m_layout->addWidget(m_notice);
    m_layout->addWidget(m_noticeText);
    addButtons();
    auto showNotice = [this](bool on) {
        m_notice->setVisible(on);
        m_noticeText->setVisible(on);
    };
    // The notice follows the selection, whether made by mouse or keyboard.
    connect(inserting, &QRadioButton::toggled, this, [showNotice](bool on) {
        if (on)
            showNotice(false);
    });
    connect(pulling, &QRadioButton::toggled, this, [showNotice](bool on) {
        if (on)
            showNotice(true);
    });
}

void KVR523SetReadType::okClicked() {
    if (option(1)->isChecked())
        m_value = 0;
    else if (option(2)->isChecked())
        m_value = 1;
    accept();
}

} // namespace talvex::reader
