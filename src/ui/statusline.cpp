#include "statusline.h"

#include <QDir>

namespace talvex::ui {

StatusLine::StatusLine(QWidget *parent) : QLabel(parent) {
    setObjectName(QStringLiteral("StatusLine"));
    setWordWrap(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void StatusLine::noteFileWrite(const link::FileWrite &write) {
    if (!write) {
        m_complaint = write;
        showReason(write.error);
    } else if (QDir::toNativeSeparators(write.path) == QDir::toNativeSeparators(m_complaint.path) &&
               text() == m_complaint.error) {
        m_complaint = {};
        clear();
    }
}

} // namespace talvex::ui
