#include "cli/port.h"

#include <cstring>

#include "platform/qt_serial_port.h"

namespace lorkctl {

std::unique_ptr<lork::SerialPort> make_port(const std::string&) { return std::make_unique<lork::QtSerialPort>(); }

std::string port_cause(const lork::SerialPort&, const std::string&, uint32_t error) {
    return std::strerror(int(error));
}

}  // namespace lorkctl
