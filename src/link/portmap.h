#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace talvex::link {

class SerialBackend;
using BackendFactory = std::function<std::unique_ptr<SerialBackend>()>;

// Which device stands behind port number n ("COMn"). On Windows COMn itself;
// elsewhere /dev/ttyS(n-1) unless the command line or the program mapped it.
// An empty path maps the port to nothing: opening it fails with kPortNotFound.
namespace portmap {

void mapPath(int port, const QString &devicePath);
// In-process devices and tests put their own transport behind a port number.
void mapBackend(int port, BackendFactory factory);
void unmap(int port);
void clear();

QString devicePath(int port);
// The transport for the port: the mapped factory, or a serial device on devicePath().
std::unique_ptr<SerialBackend> createBackend(int port);

// Takes every "--port COMn=PATH" (or "--port=COMn=PATH") from the arguments and
// returns the arguments that were not such options. Malformed options are
// reported in *errors and left out.
QStringList applyCommandLine(const QStringList &arguments, QStringList *errors = nullptr);

} // namespace portmap
} // namespace talvex::link
