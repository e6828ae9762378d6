#include "platform/qt/port_list.h"

#include <QSerialPortInfo>

#include "platform/port_order.h"

namespace lork {

std::vector<std::string> Read_port_list() {
    std::vector<std::string> names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names.push_back(info.portName().toStdString());
    return orderPortNames(names);
}

}  // namespace lork
