#include "shuomingform.h"

#include "link/frame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::shell {
namespace {

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

ShuoMingForm::ShuoMingForm(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ShuoMingForm"));
    setWindowTitle(QStringLiteral("Command-line description"));

    // The example is the contactless key check with the factory key; the frame
    // is built the way the command line builds it, so its BCC cannot be wrong.
    const QByteArray body = QByteArray::fromHex("353205FFFFFFFFFFFF");
    const QString typed = link::bytesText(body).trimmed();
    const QString frame = link::bytesText(link::buildReaderFrame(body)).trimmed();
    const QString bcc = frame.right(2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(
        QStringLiteral("Label1"),
        QStringLiteral("The command line, do not enter the STX (02), length (LH, LL), ETX (03) "
                       "and the BCC, just enter the command and parameters and data packets "
                       "(if any)"),
        this));
    layout->addWidget(makeLabel(QStringLiteral("Label2"),
                                QStringLiteral("For example, the whole frame of the key check "
                                               "command is: ") +
                                    frame,
                                this));
    layout->addWidget(makeLabel(QStringLiteral("Label3"),
                                QStringLiteral("STX = 02, length (LH = 00, LL = 09), ETX = 03 and "
                                               "the BCC (%1) are not typed")
                                    .arg(bcc),
                                this));
    layout->addWidget(makeLabel(QStringLiteral("Label4"),
                                QStringLiteral("On the command line type: ") + typed, this));
    layout->addWidget(makeLabel(QStringLiteral("Label5"),
                                QStringLiteral("Note that to use a space between each byte "
                                               "separated by"),
                                this));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace talvex::shell
