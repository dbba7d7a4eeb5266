#pragma once

#include <stdexcept>

namespace talvex::link {

// Run-time error numbers of the serial component, as the windows know them.
enum SerialErrorNumber : int {
    kInvalidPropertyValue = 380,
    kPortNotFound = 8002,   // the port does not exist
    kPortInUse = 8005,      // already open, or held by another program
    kPortNotOpen = 8018,    // property used while the port is closed
    kPortIoFailed = 8020,   // the driver refused a read or write
};

class SerialError : public std::runtime_error {
public:
    explicit SerialError(int number);
    int number() const { return m_number; }

private:
    int m_number;
};

} // namespace talvex::link
