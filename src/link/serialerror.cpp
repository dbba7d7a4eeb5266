#include "serialerror.h"

#include <string>

namespace talvex::link {

SerialError::SerialError(int number)
    : std::runtime_error("serial port error " + std::to_string(number)), m_number(number)
{
}

} // namespace talvex::link
