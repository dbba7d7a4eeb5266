#include "popoptionform690.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace talvex::reader {
namespace {

// The close button shows a door with an arrow rather than a caption.
QIcon closeIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.drawRect(4, 3, 10, 18);
    painter.setPen(QPen(QColor(200, 40, 40), 2.5));
    painter.drawLine(10, 12, 21, 12);
    painter.drawLine(17, 8, 21, 12);
    painter.drawLine(17, 16, 21, 12);
    return QIcon(pixmap);
}

constexpr char kParameterCodes[] = {'0', '1', '.', '/', '2', '3', '5', '7'};

} // namespace

PopOptionForm690::PopOptionForm690(std::function<void(int)> move, QWidget *parent)
    : ChoiceForm(QStringLiteral("PopOptionForm690"), QStringLiteral("Move Card Option"), parent),
      m_move(std::move(move)) {
    QGroupBox *frame = addFrame(QStringLiteral("Move Card Option"));
    addOption(frame, 1, QStringLiteral("Stop at the front"));
    addOption(frame, 2, QStringLiteral("Stop at the front,hold the card"));
    addOption(frame, 3, QStringLiteral("Stop at the RF card operation position"));
    addOption(frame, 4, QStringLiteral("Stop at the IC card operation position"));
    addOption(frame, 5, QStringLiteral("Stop at the rear,hold the card"));
    addOption(frame, 6, QStringLiteral("Stop at the rear"));
    addOption(frame, 7, QStringLiteral("Eject abnormal card from rear side"));
    addOption(frame, 8, QStringLiteral("Clean Reader"));
    addButtons();
    auto *close = new QPushButton(this);
    close->setObjectName(QStringLiteral("Command3"));
    close->setIcon(closeIcon());
    close->setToolTip(QStringLiteral("Close"));
    close->setAccessibleName(QStringLiteral("Close"));
    m_layout->itemAt(m_layout->count() - 1)->layout()->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

char PopOptionForm690::parameterCode(int value) {
    return value >= 1 && value <= 8 ? kParameterCodes[value - 1] : '\0';
}

void PopOptionForm690::okClicked() {
    m_value = checkedOption(1, 8);
    if (m_move)
        m_move(m_value);
}

} // namespace talvex::reader
