// The readings page "показания" (TabSheet1).
#include "app/tfglav.h"

void TFglav::Setup_page_readings() {}
void TFglav::TabSheet1Show() {}
void TFglav::TabSheet1Hide() {}
