#pragma once

class QWidget;

namespace talvex::app {

// With TALVEX_LAUNCH_TIME in the environment: once the launcher has been
// painted for the first time, prints the milliseconds since the program
// started and ends the run. The variable may hold the caller's CLOCK_REALTIME
// in nanoseconds taken just before starting the program (date +%s%N);
// otherwise (any other value) the kernel's start time of the process is used,
// which has 10 ms steps.
void reportLaunchTime(QWidget &launcher);

} // namespace talvex::app
