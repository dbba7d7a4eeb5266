#pragma once

#include "link/capturefile.h"

#include <QString>
#include <QStringList>

namespace talvex::sim {

// One line of a capture, chosen for replay: the exchanges of one port.
struct ReplayPlan {
    bool ok = false;
    QString error; // one line, when !ok
    link::LineKind kind = link::LineKind::Reader;
    QString port;
    QString model;
    QList<link::ExchangeRecord> exchanges;
    QStringList notes; // what was skipped, one line each
};

// Picks the exchanges of port (the first captured port when empty) out of
// what a capture reader made of a file.
ReplayPlan planReplay(const link::CaptureContents &contents, const QString &port);

} // namespace talvex::sim
