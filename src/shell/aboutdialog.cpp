#include "aboutdialog.h"

#include "traffic/trafficpane.h"

#include "dispenser/fakamain.h"
#include "readermain.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::shell {

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("Talvex5.0_EN"));

    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(picture(QSize(360, 200)));

    auto *reader = new QPushButton(QStringLiteral("Reader"), this);
    reader->setObjectName(QStringLiteral("Command1"));
    auto *dispenser = new QPushButton(QStringLiteral("Dispenser"), this);
    dispenser->setObjectName(QStringLiteral("Command2"));
    reader->setMinimumWidth(120);
    dispenser->setMinimumWidth(120);
    connect(reader, &QPushButton::clicked, this, &AboutDialog::Command1_Click);
    connect(dispenser, &QPushButton::clicked, this, &AboutDialog::Command2_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(reader);
    buttons->addSpacing(24);
    buttons->addWidget(dispenser);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(image, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutDialog::Command1_Click() {
    openDeviceWindow(new ReaderMain);
}

void AboutDialog::Command2_Click() {
    auto *fakamain = new dispenser::Fakamain;
    traffic::attachPane(
        fakamain, [fakamain](const QString &text) { fakamain->showLineReason(text); },
        fakamain->findChild<QWidget *>(QStringLiteral("SDTDText")));
    openDeviceWindow(fakamain);
}

void AboutDialog::openDeviceWindow(QWidget *window) {
    m_chosen = true;
    close();
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Other windows (the demo's simulated devices) may stay open, so the end of
    // the program hangs on this window rather than on the last one closed.
    connect(window, &QObject::destroyed, qApp, &QCoreApplication::quit);
    m_deviceWindow = window;
    window->show();
}

void AboutDialog::reject() {
    // Closing the launcher without a choice leaves nothing to run.
    if (!m_chosen)
        QCoreApplication::quit();
    QDialog::reject();
}

QPixmap AboutDialog::picture(const QSize &size) {
    QPixmap pixmap(size);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x1b, 0x3a, 0x6b));
    sky.setColorAt(1, QColor(0x0b, 0x17, 0x2c));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // The reader: a dark body with a slot, a status light and a keypad-like panel.
    const QRectF body(w * 0.08, h * 0.38, w * 0.52, h * 0.46);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0, QColor(0x6e, 0x76, 0x80));
    metal.setColorAt(1, QColor(0x32, 0x37, 0x3d));
    p.setPen(QPen(QColor(0x1e, 0x22, 0x26), 2));
    p.setBrush(metal);
    p.drawRoundedRect(body, 10, 10);
    const QRectF slot(body.left() + body.width() * 0.12, body.top() + body.height() * 0.22,
                      body.width() * 0.76, body.height() * 0.08);
    p.setBrush(QColor(0x10, 0x10, 0x10));
    p.drawRoundedRect(slot, 3, 3);
    p.setBrush(QColor(0x3c, 0xe0, 0x6a));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(body.right() - body.width() * 0.1, body.bottom() - body.height() * 0.2),
                  5, 5);

    // A card halfway into the slot, tilted a little.
    p.save();
    p.translate(slot.center().x() + w * 0.02, slot.top() - h * 0.15);
    p.rotate(-6);
    const QRectF card(-w * 0.16, -h * 0.2, w * 0.32, h * 0.26);
    QLinearGradient cardFill(card.topLeft(), card.bottomRight());
    cardFill.setColorAt(0, QColor(0xf5, 0xb9, 0x2e));
    cardFill.setColorAt(1, QColor(0xe0, 0x6c, 0x1f));
    p.setBrush(cardFill);
    p.setPen(QPen(QColor(0x7a, 0x3a, 0x0a), 1.5));
    p.drawRoundedRect(card, 8, 8);
    p.setBrush(QColor(0xd8, 0xc0, 0x6a));
    p.setPen(QPen(QColor(0x8a, 0x6a, 0x20), 1));
    p.drawRoundedRect(QRectF(card.left() + card.width() * 0.12, card.top() + card.height() * 0.3,
                             card.width() * 0.2, card.height() * 0.3),
                      3, 3);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.setPen(Qt::NoPen);
    p.drawRect(
        QRectF(card.left(), card.top() + card.height() * 0.08, card.width(), card.height() * 0.12));
    p.restore();

    // Radio waves of the contactless module.
    p.setPen(QPen(QColor(0x8f, 0xd3, 0xff), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QPointF waveCentre(body.right() + w * 0.05, body.top() + body.height() * 0.4);
    for (int i = 1; i <= 3; ++i) {
        const qreal r = i * h * 0.08;
        p.drawArc(QRectF(waveCentre.x() - r, waveCentre.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }

    QFont title = p.font();
    title.setPixelSize(qRound(h * 0.16));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0xf2, 0xf5, 0xfa));
    p.drawText(QRectF(w * 0.6, h * 0.08, w * 0.38, h * 0.2), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Talvex"));
    QFont sub = title;
    sub.setPixelSize(qRound(h * 0.075));
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(QColor(0xb8, 0xc8, 0xe0));
    p.drawText(QRectF(w * 0.6, h * 0.27, w * 0.38, h * 0.1), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Card Bench 5.0"));
    p.end();
    return pixmap;
}

} // namespace talvex::shell
