#pragma once
// The serial port lorkctl talks through, chosen by its name.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/base/serial_port.h"

namespace lorkctl {

// The port for a name as the window takes it (a listed name or a device path).
std::unique_ptr<lork::SerialPort> makePort(const std::string& name);

// Why the port could not be used, in words, from its errno-style code.
std::string portCause(const lork::SerialPort& port, const std::string& name, uint32_t error);

}  // namespace lorkctl
