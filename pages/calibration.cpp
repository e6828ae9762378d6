// The calibration page "калибровка" (TabSheet3).
#include "app/tfglav.h"

void TFglav::Setup_page_calibration() {}
void TFglav::TabSheet3Show() {}
void TFglav::TabSheet3Hide() {}
