#include "serialerror.h"

#include <cerrno>
#include <string>

namespace talvex::link {

QString lineFaultText(LineFault fault, const QString &setupButton) {
    switch (fault) {
    case LineFault::DeviceGone:
        return QStringLiteral("the device went away (unplugged or switched off?). Bring it back, "
                              "then use %1 again.")
            .arg(setupButton);
    case LineFault::PermissionDenied:
        return QStringLiteral(
            "permission denied. Your user needs access to the serial device, e.g. membership of "
            "the dialout group: sudo usermod -aG dialout $USER, then log out and in again.");
    case LineFault::HeldElsewhere:
        return QStringLiteral("the port is held by another program. Close that program or "
                              "choose another port.");
    case LineFault::NotOpen:
        return QStringLiteral("the port is not open. Use %1 to open it.").arg(setupButton);
    case LineFault::None:
        break;
    }
    return {};
}

LineFault openFaultFromErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return LineFault::PermissionDenied;
    case 0:
    case EBUSY:
        return LineFault::HeldElsewhere;
    default:
        return LineFault::None;
    }
}

SerialError::SerialError(int number, LineFault fault)
    : std::runtime_error("serial port error " + std::to_string(number)), m_number(number),
      m_fault(fault) {}

} // namespace talvex::link
