#pragma once

#include "run/runner.h"

#include <QString>
#include <vector>

namespace talvex::run {

// A JUnit XML report of one run: one test case per step that ran, the failed
// ones with what was expected and what came. False when the file cannot be written.
bool writeJUnitReport(const QString &path, const QString &scriptFile,
                      const std::vector<StepRecord> &records, const QString &stopReason);

} // namespace talvex::run
