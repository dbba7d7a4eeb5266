#pragma once

#include <QString>

namespace talvex::app {

class DemoDevices;

// Drives the windows against the simulated devices and saves a picture of each
// interesting state as a PNG file in directory. Returns the process exit code.
int takeScreenshots(const QString &directory, DemoDevices &devices);

} // namespace talvex::app
