#pragma once
// The window's tool buttons all look alike: a picture with its caption
// under it, raised only under the mouse.
#include <QIcon>
#include <QList>
#include <QString>

class QAction;
class QToolBar;
class QToolButton;

struct ToolButtonLook {
    int n;  // the button is named ToolButtonN
    QString caption;
    QString hint;
    QIcon icon;
};

// Adds the button at the end of bar. A button bound to a menu item runs that
// item (the menu bar keeps showing the item's text, so the picture stays on
// the button). A button not shown keeps its place in the bar's order.
QToolButton* makeToolButton(QToolBar* bar, const ToolButtonLook& look, QAction* bound = nullptr, bool shown = true);

// The tool bar sits in the window's layout, not in a main window's tool bar
// area, where Qt's own overflow button "››" would show the buttons that
// found no room; here it would do nothing. It opens a menu of them instead.
void addOverflowMenu(QToolBar* bar);
// The buttons meant to be shown that the bar has no room for, in order.
QList<QToolButton*> buttonsOverflowing(const QToolBar* bar);
