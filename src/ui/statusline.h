#pragma once

#include "link/recordfile.h"

#include <QLabel>

namespace talvex::ui {

// The line at the foot of a window ("StatusLine"): what really went wrong
// where a message box's fixed text does not say it (the line went away,
// permission denied) or where the program shows no message at all (a file
// that could not be written).
class StatusLine : public QLabel {
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    void showReason(const QString &reason) { setText(reason); }

    // A file that was not written is named with the reason. Once that file
    // takes a write again the complaint goes, unless the line has said
    // something else since: a user who ticked a record box must not go on
    // believing the traffic is lost, nor that it is kept.
    void noteFileWrite(const link::FileWrite &write);

private:
    link::FileWrite m_complaint;
};

} // namespace talvex::ui
