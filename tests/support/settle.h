#pragma once

#include "link/operations.h"

#include <QDeadlineTimer>
#include <QTest>

namespace talvex::testing {

// Lets the commands that clicks started run to their end: on a clock that
// runs in real time a handler awaits its device while the event loop runs,
// so a click returns before its command is done. False when a command is
// still running after timeoutMs.
inline bool settle(int timeoutMs = 30000) {
    QDeadlineTimer deadline(timeoutMs);
    while (link::Operations::runningAnywhere() > 0) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace talvex::testing
