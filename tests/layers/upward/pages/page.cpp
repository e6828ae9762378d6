#include "pages/page_host.h"
#include "widgets/updown.h"
#include "protocol/device.h"
