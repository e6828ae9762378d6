#pragma once
#include "platform/base/clock.h"
#include "platform/linux/tty_port.h"
