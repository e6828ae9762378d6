#include "cli/port.h"

#include <iostream>

#include "platform/port_factory.h"

namespace lorkctl {

std::unique_ptr<lork::SerialPort> makePort(const std::string& name) {
    // Remarks for the operator (a gateway's fixed rate, a slow USB latency
    // timer) are not results: they go to standard error.
    return lork::makePort(name, [](const std::string& remark) { std::cerr << remark << '\n'; });
}

std::string portCause(const lork::SerialPort& port, const std::string& name, uint32_t error) {
    // The port's own description names the device first ("порт PATH: ..."),
    // which the caller's message already does.
    std::string text = port.describeError(name, error);
    const std::string head = "порт ";
    if (text.rfind(head, 0) == 0) {
        if (const auto colon = text.find(": "); colon != std::string::npos) text.erase(0, colon + 2);
    }
    return text;
}

}  // namespace lorkctl
