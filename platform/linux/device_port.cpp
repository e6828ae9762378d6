#include "platform/base/device_port.h"
#include "platform/linux/tty_port.h"

namespace lork {

std::unique_ptr<SerialPort> makeDevicePort(std::function<void(const std::string&)> notice) {
    auto p = std::make_unique<TtyPort>();
    p->notice = std::move(notice);
    return p;
}

}  // namespace lork
