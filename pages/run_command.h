#pragma once
// A hidden command-line mode for end-to-end tests: run one menu command as if
// the operator had chosen it, print what the information window then holds
// and every message box text on standard output, and end the program.
#include <QString>

class TFglav;

// name is the menu item's name without its "N_" (poisk_scor, yes_otvet ...).
void Schedule_menu_command(TFglav& w, const QString& name);
