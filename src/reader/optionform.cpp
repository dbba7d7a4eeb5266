#include "optionform.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace talvex::reader {

OptionForm::OptionForm(const QString &objectName, const QString &caption, QWidget *parent)
    : QDialog(parent) {
    setObjectName(objectName);
    setWindowTitle(caption);
    m_layout = new QVBoxLayout(this);
}

QRadioButton *OptionForm::option(int n) const {
    return findChild<QRadioButton *>(QStringLiteral("Option%1").arg(n));
}

QGroupBox *OptionForm::addFrame(const QString &caption) {
    auto *frame = new QGroupBox(caption, this);
    frame->setLayout(new QVBoxLayout);
    m_layout->addWidget(frame);
    return frame;
}

QRadioButton *OptionForm::addOption(QGroupBox *frame, int n, const QString &caption) {
    auto *button = new QRadioButton(caption, frame);
    button->setObjectName(QStringLiteral("Option%1").arg(n));
    frame->layout()->addWidget(button);
    m_lastOption = std::max(m_lastOption, n);
    return button;
}

int OptionForm::checkedOption(int first, int last) const {
    for (int n = first; n <= last; ++n) {
        if (QRadioButton *button = option(n); button && button->isChecked())
            return n;
    }
    return 0;
}

void OptionForm::addButtons() {
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_ok);
    row->addWidget(m_cancel);
    m_layout->addLayout(row);
    connect(m_ok, &QPushButton::clicked, this, [this] { okClicked(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ChoiceForm::okClicked() {
    m_value = checkedOption(1, m_lastOption);
    accept();
}

} // namespace talvex::reader
