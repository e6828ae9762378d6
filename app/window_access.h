#pragma once
// The main window's own controls for the keyboard and assistive technology:
// their names after the captions beside them, and the menus opened by keys.
namespace Ui {
class Fglav;
}
class QMenuBar;
class QWidget;

void nameWindowControls(Ui::Fglav& ui);

// F10 opens the first menu, Alt with a menu's first letter that menu (in the
// Russian layout, and the same key in the Latin one); the menus' texts stay.
void openMenusByKeys(QWidget* window, QMenuBar* bar);
