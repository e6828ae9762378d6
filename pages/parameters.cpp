// The parameters page "параметры" (TabSheet2).
#include "app/tfglav.h"

void TFglav::Setup_page_parameters() {}
void TFglav::TabSheet2Show() {}
void TFglav::TabSheet2Hide() {}
