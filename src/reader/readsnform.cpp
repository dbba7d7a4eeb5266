#include "readsnform.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::reader {

ReadSnForm::ReadSnForm(const QString &serialNumber, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ReadSnForm"));
    setWindowTitle(QStringLiteral("Write SN of Card Reader"));
    auto *text = new QLineEdit(serialNumber, this);
    text->setObjectName(QStringLiteral("Text1"));
    text->setMinimumWidth(260);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(ok, 0, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace talvex::reader
