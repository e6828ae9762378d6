#include "platform/base/device_port.h"
#include "platform/port_factory.h"
