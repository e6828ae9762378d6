#pragma once
// The serial device of this system, behind the portable port: a tty on
// Linux, a COM port on Windows. Each system's folder gives it; the ports by
// name (platform/port_factory.h) take it for any name that is no gateway's.
#include <functional>
#include <memory>
#include <string>

#include "platform/base/serial_port.h"

namespace lork {

// Not yet open; remarks for the operator (a slow USB latency timer) go to notice.
std::unique_ptr<SerialPort> makeDevicePort(std::function<void(const std::string&)> notice);

}  // namespace lork
