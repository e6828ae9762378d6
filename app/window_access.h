#pragma once
// The main window's own controls for the keyboard and assistive technology:
// their names after the captions beside them, and the menus opened by keys.
namespace Ui {
class Fglav;
}
class QMenuBar;
class QTabWidget;
class QWidget;

void nameWindowControls(Ui::Fglav& ui);

// A page brought up by a key takes the focus to its first control, where the
// focus would otherwise stay on the page itself.
void focusIntoPages(QTabWidget* tabs);

// Every tab widget's page is presented as a page named by its tab, not as
// part of an unnamed stack of pages. Before the window's controls exist.
void presentPagesByName();

// F10 opens the first menu, Alt with a menu's first letter that menu (in the
// Russian layout, and the same key in the Latin one); the menus' texts stay.
// Left and Right from one open menu to the next are heard as the item they
// reach.
void openMenusByKeys(QWidget* window, QMenuBar* bar);
