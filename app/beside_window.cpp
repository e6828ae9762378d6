#include "app/beside_window.h"

#include <QWidget>

#include "app/activation_gate.h"

void markBeside(QWidget* w) { w->setProperty(kBesideProperty, true); }

void showBeside(QWidget* w) {
    w->show();
    w->raise();
    w->activateWindow();
}
