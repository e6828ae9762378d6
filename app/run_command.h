#pragma once
// Hidden command-line modes for end-to-end tests.
#include <QString>

class TFglav;

// Runs one menu command as if the operator had chosen it, prints what the
// information window then holds and every message box text on standard
// output, and ends the program. name is the menu item's name without its
// "N_" (poisk_scor, yes_otvet ...).
void scheduleMenuCommand(TFglav& w, const QString& name);

// Runs one menu command (or presses the button of that object name) once the
// window is up, with the real message boxes, and leaves the program running
// for the operator (or a test driving the window system) to go on with.
void startMenuCommand(TFglav& w, const QString& name);
