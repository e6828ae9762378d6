#include "cli/options.h"
#include "pages/page_host.h"
#include "records/journal.h"
