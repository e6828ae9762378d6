#pragma once
// The list of serial ports the system knows, in the program's order.
#include <string>
#include <vector>

namespace lork {

// Names as QSerialPortInfo reports them ("ttyS0", "ttyUSB0"), on Windows as
// the registry lists them ("COM3"), ordered by orderPortNames.
std::vector<std::string> Read_port_list();

}  // namespace lork
