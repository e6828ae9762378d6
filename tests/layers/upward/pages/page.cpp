#include "pages/page_host.h"
#include "widgets/updown.h"
#include "device/device.h"
