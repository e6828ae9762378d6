#include "protocol/device.h"
