#pragma once
// What a screen reader and the keyboard need beyond what the window shows:
// names taken from the captions the operator reads, states as text, and the
// re-reads that the mouse starts by a click on a field.
//
// Commands started through the accessibility bus (a button's press or
// toggle, a menu item, a field's read, a combo box's choice) run from the event loop,
// exactly as the operator's click or choice would: the bus's caller gets
// its answer at once, not after a message box or a search has ended.
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;
class UpDown;

namespace lork::widgets {

// The caption as a name: blanks, a trailing colon and mnemonics' '&' dropped.
QString captionName(const QString& caption);

// Names field after its caption (which becomes the field's buddy), with
// what may be added to tell it from its neighbours ("читать R").
void nameAfter(QLabel* caption, QWidget* field, const QString& more = {});

// A name, and a description when one is given.
void nameControl(QWidget* w, const QString& name, const QString& description = {});

// The arrows of an up-down: "больше FIELD", "меньше FIELD".
void nameArrows(UpDown* arrows, const QString& field);

// The state of a picture or a compound display as its description; a
// change is announced to assistive technology.
void setState(QWidget* w, const QString& state);

// The re-read of a field, for the mouse, the keyboard and the bus: click
// and double-click (either may be empty) as the mouse gives them; Enter on
// the focused field does what the click does (or, without one, the
// double-click), Shift+Enter what a double-click does (the click, then the
// double-click's own handler); the accessible actions
// "прочитать" and, with a double-click, "прочитать всё" do the same.
void onRead(QWidget* w, std::function<void()> click, std::function<void()> dblClick = {});

// Whether onRead gave w its re-reads.
bool takesReads(QWidget* w);

// The texts of the accessible actions that onRead adds.
QString readAction();
QString readAllAction();

// The item chosen in a focused box is heard as it changes (Up and Down on
// a closed box).
void speakChoices(QComboBox* box);

// A label that shows a value under a name that is not its text: the name
// and the value are heard together, and Tab reaches it.
void nameValueLabel(QLabel* label, const QString& caption);

// An edit and the up-down bound to it are one spin button: its number is
// the value, heard as it changes.
void bindSpin(QLineEdit* edit, UpDown* arrows);

// Installs, once, the accessibility factory that gives buttons, menu items,
// combo boxes and the fields of onRead their commands through the bus. The first
// onRead installs it too.
void installAccessibleCommands();

}  // namespace lork::widgets
