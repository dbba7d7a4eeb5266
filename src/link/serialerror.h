#pragma once

#include <QString>
#include <stdexcept>

namespace talvex::link {

// Run-time error numbers of the serial component, as the windows know them.
enum SerialErrorNumber : int {
    kInvalidPropertyValue = 380,
    kPortNotFound = 8002, // the port does not exist
    kPortInUse = 8005,    // already open, or held by another program
    kPortNotOpen = 8018,  // property used while the port is closed
    kPortIoFailed = 8020, // the driver refused a read or write, or the line went away
};

// What really went wrong with a line, where the error number the windows turn
// into their fixed texts does not say it: 8005 is also what a user without
// access to the device gets, and a line whose device went away fails with 8020.
enum class LineFault {
    None,
    DeviceGone,       // the device end went away (unplugged, powered off, simulator stopped)
    PermissionDenied, // the user may not open the device
    HeldElsewhere,    // another program has the device open or locked
    NotOpen,          // the port was used while closed (a scan that found nothing closes it)
};

// The fault in words for a window's status line, after the port's name;
// setupButton is the caption of the window's button that opens the port.
QString lineFaultText(LineFault fault, const QString &setupButton = QStringLiteral("Setup Comm"));

// Why opening a device failed, from the errno of a plain open() of it; 0 means
// that open went through, so the device itself was free and only a lock file
// (another program's claim on it) stood in the way.
LineFault openFaultFromErrno(int error);

class SerialError : public std::runtime_error {
public:
    explicit SerialError(int number, LineFault fault = LineFault::None);
    int number() const { return m_number; }
    LineFault fault() const { return m_fault; }

private:
    int m_number;
    LineFault m_fault;
};

} // namespace talvex::link
