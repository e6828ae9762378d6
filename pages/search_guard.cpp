#include "pages/search_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

SearchGuard::SearchGuard(QWidget* main_window) : main_(main_window) {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

SearchGuard::~SearchGuard() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

namespace {

bool owned_by(const QObject* o, const QObject* owner) {
    for (; o != nullptr; o = o->parent())
        if (o == owner) return true;
    return false;
}

}  // namespace

bool SearchGuard::blocks(const QEvent* e, const QObject* receiver, const QWidget* main_window) {
    if (receiver == nullptr || main_window == nullptr) return false;
    switch (e->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
        // Only the main window's own handlers are kept from running; the
        // window system's bookkeeping of the active window still sees the
        // change, and other windows (a message box) take the focus as usual.
        return receiver->isWidgetType() && static_cast<const QWidget*>(receiver)->window() == main_window;
    case QEvent::Close:
        // A dialog closes through a close event of its own (QDialog::done):
        // only the main window's close waits.
        return receiver == main_window;
    case QEvent::Timer:
        return qobject_cast<const QTimer*>(receiver) != nullptr && owned_by(receiver, main_window);
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
