// Activation, deactivation and close of the main window.
#include "app/tfglav.h"

// Bringing the port in line and probing the instrument at each activation,
// pausing polling at deactivation and saving the settings at close are not
// part of the window yet; the events already arrive here.
void TFglav::FormActivate() {}
void TFglav::FormDeactivate() {}
void TFglav::FormClose() {}
