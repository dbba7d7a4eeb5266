#pragma once

#include "dispenserstatus.h"

#include <QStringList>
#include <QWidget>

namespace talvex::dispenser {

// A dispenser drawn with line shapes: its body, the stacker with two marks
// (cards above the pre-empty point, cards at all) and the card marks along
// the channel (P1-P6 on the KVR-820, Q1-Q3 on the KVR-840).
class DispenserPicture : public QWidget {
    Q_OBJECT
public:
    enum class Model { Kvr820, Kvr840 };
    DispenserPicture(Model model, QWidget *parent = nullptr);

    Marks marks() const { return m_marks; }
    void setMarks(Marks marks);
    // The four body lines and the caption; the KVR-820 shows them once its
    // port is set up.
    bool bodyVisible() const { return m_bodyVisible; }
    void setBodyVisible(bool visible);

    // "StackerUpper", "StackerLower", "P1" ... in that order.
    QStringList visibleMarkNames() const;
    static QString markName(Mark mark);

    QSize sizeHint() const override { return {230, 190}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describe();

    Model m_model;
    Marks m_marks = 0;
    bool m_bodyVisible = true;
};

} // namespace talvex::dispenser
