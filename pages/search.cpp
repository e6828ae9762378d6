// The device search and the answer check (menu "файл").
#include "app/tfglav.h"

void TFglav::Setup_search() {}
