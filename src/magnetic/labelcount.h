#pragma once

#include <QLabel>

namespace talvex::magnetic {

// Counters live in label captions as decimal text.
inline qint64 labelNumberOf(const QLabel *label) {
    return label->text().toLongLong();
}

inline void addOneTo(QLabel *label) {
    label->setText(QString::number(labelNumberOf(label) + 1));
}

} // namespace talvex::magnetic
