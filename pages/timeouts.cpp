// The port time-out page "таймауты" (TabSheet4).
#include "app/tfglav.h"

void TFglav::Setup_page_timeouts() {}
void TFglav::TabSheet4Show() {}
void TFglav::TabSheet4Hide() {}
