#include "dispenserpicture.h"

#include <QPainter>

namespace talvex::dispenser {
namespace {

constexpr Mark kAllMarks[] = {StackerUpper, StackerLower, P1, P2, P3, P4, P5, P6, Q1, Q2, Q3};

} // namespace

DispenserPicture::DispenserPicture(Model model, QWidget *parent) : QWidget(parent), m_model(model) {
    setObjectName(model == Model::Kvr820 ? QStringLiteral("Picture820")
                                         : QStringLiteral("Picture840"));
    setMinimumSize(sizeHint());
    describe();
}

void DispenserPicture::setMarks(Marks marks) {
    const Marks own =
        kStackerMarks | (m_model == Model::Kvr820 ? kPositionMarks820 : kCardMarks840);
    marks &= own;
    if (marks == m_marks)
        return;
    m_marks = marks;
    describe();
    update();
}

void DispenserPicture::setBodyVisible(bool visible) {
    if (visible == m_bodyVisible)
        return;
    m_bodyVisible = visible;
    update();
}

QString DispenserPicture::markName(Mark mark) {
    switch (mark) {
    case StackerUpper:
        return QStringLiteral("StackerUpper");
    case StackerLower:
        return QStringLiteral("StackerLower");
    case P1:
        return QStringLiteral("P1");
    case P2:
        return QStringLiteral("P2");
    case P3:
        return QStringLiteral("P3");
    case P4:
        return QStringLiteral("P4");
    case P5:
        return QStringLiteral("P5");
    case P6:
        return QStringLiteral("P6");
    case Q1:
        return QStringLiteral("Q1");
    case Q2:
        return QStringLiteral("Q2");
    case Q3:
        return QStringLiteral("Q3");
    }
    return {};
}

QStringList DispenserPicture::visibleMarkNames() const {
    QStringList names;
    for (Mark mark : kAllMarks) {
        if (m_marks & mark)
            names << markName(mark);
    }
    return names;
}

void DispenserPicture::describe() {
    // Screen readers and the device fakes read the picture from here.
    const QStringList names = visibleMarkNames();
    setAccessibleDescription(names.isEmpty() ? QStringLiteral("no marks") : names.join(u' '));
}

void DispenserPicture::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(8, 8, -8, -8);
    const qreal w = area.width(), h = area.height();
    const auto at = [&](qreal fx, qreal fy) {
        return QPointF(area.left() + fx * w, area.top() + fy * h);
    };

    QPen body(palette().color(QPalette::WindowText), 2);
    p.setPen(body);
    if (m_bodyVisible) {
        // Stacker box on the left, channel to the door on the right.
        p.drawLine(at(0.05, 0.05), at(0.05, 0.80));
        p.drawLine(at(0.35, 0.05), at(0.35, 0.80));
        p.drawLine(at(0.05, 0.80), at(0.95, 0.80));
        p.drawLine(at(0.35, 0.62), at(0.95, 0.62));
        p.drawText(QRectF(at(0.0, 0.84), at(1.0, 1.0)), Qt::AlignCenter,
                   m_model == Model::Kvr820 ? QStringLiteral("KVR-820")
                                            : QStringLiteral("KVR-840"));
    }

    const QColor stackerColour(40, 110, 200);
    const QColor cardColour(210, 90, 30);
    p.setPen(QPen(stackerColour, 5));
    if (m_marks & StackerUpper)
        for (qreal y : {0.20, 0.28, 0.36})
            p.drawLine(at(0.09, y), at(0.31, y));
    if (m_marks & StackerLower)
        for (qreal y : {0.56, 0.64, 0.72})
            p.drawLine(at(0.09, y), at(0.31, y));

    p.setPen(QPen(cardColour, 6));
    const qreal y = 0.71;
    const auto card = [&](Mark mark, qreal x, const QString &label) {
        if (!(m_marks & mark))
            return;
        p.drawLine(at(x - 0.05, y), at(x + 0.05, y));
        p.save();
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(at(x - 0.04, 0.55), label);
        p.restore();
    };
    if (m_model == Model::Kvr820) {
        const Mark marks[] = {P1, P2, P3, P4, P5, P6};
        for (int i = 0; i < 6; ++i)
            card(marks[i], 0.42 + 0.105 * i, markName(marks[i]));
    } else {
        const Mark marks[] = {Q1, Q2, Q3};
        for (int i = 0; i < 3; ++i)
            card(marks[i], 0.45 + 0.22 * i, markName(marks[i]));
    }
}

} // namespace talvex::dispenser
