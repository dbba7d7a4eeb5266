#include "replaysession.h"

namespace talvex::sim {

ReplayPlan planReplay(const link::CaptureContents &contents, const QString &port) {
    ReplayPlan plan;
    if (!contents.ok) {
        plan.error = contents.error;
        return plan;
    }
    plan.notes = contents.skipped;
    if (contents.skippedCount > contents.skipped.size())
        plan.notes << QStringLiteral("... %1 more lines skipped")
                          .arg(contents.skippedCount - contents.skipped.size());
    if (contents.skippedCount > 0)
        plan.notes << QStringLiteral("skipped %1 lines in all").arg(contents.skippedCount);

    plan.port = port;
    if (plan.port.isEmpty() && !contents.exchanges.isEmpty())
        plan.port = contents.exchanges.first().port;
    bool first = true;
    for (const auto &e : contents.exchanges) {
        if (e.port.compare(plan.port, Qt::CaseInsensitive) != 0)
            continue;
        if (first) {
            plan.kind = e.kind;
            first = false;
        }
        if (e.kind != plan.kind)
            continue;
        if (plan.model.isEmpty())
            plan.model = e.model;
        plan.exchanges.append(e);
    }
    if (plan.exchanges.isEmpty()) {
        plan.error = port.isEmpty()
                         ? QStringLiteral("the capture holds no exchange")
                         : QStringLiteral("the capture holds no exchange on %1").arg(port);
        return plan;
    }
    plan.ok = true;
    return plan;
}

} // namespace talvex::sim
