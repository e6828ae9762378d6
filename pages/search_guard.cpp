#include "pages/search_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

SearchGuard::SearchGuard(QWidget* mainWindow) : main_(mainWindow) {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

SearchGuard::~SearchGuard() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

namespace {

bool ownedBy(const QObject* o, const QObject* owner) {
    for (; o != nullptr; o = o->parent())
        if (o == owner) return true;
    return false;
}

}  // namespace

bool SearchGuard::blocks(const QEvent* e, const QObject* receiver, const QWidget* mainWindow) {
    if (receiver == nullptr || mainWindow == nullptr) return false;
    switch (e->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
        // Only the main window's own handlers are kept from running; the
        // window system's bookkeeping of the active window still sees the
        // change, and other windows (a message box) take the focus as usual.
        return receiver->isWidgetType() && static_cast<const QWidget*>(receiver)->window() == mainWindow;
    case QEvent::Close:
        // A dialog closes through a close event of its own (QDialog::done):
        // only the main window's close waits.
        return receiver == mainWindow;
    case QEvent::Timer:
        return qobject_cast<const QTimer*>(receiver) != nullptr && ownedBy(receiver, mainWindow);
    default:
        return false;
    }
}

bool SearchGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!blocks(event, watched, main_)) return false;
    // A refused close must stay refused, not count as accepted.
    if (event->type() == QEvent::Close) event->ignore();
    return true;
}
