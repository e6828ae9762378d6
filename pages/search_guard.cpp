#include "pages/search_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

SearchGuard::SearchGuard() {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

SearchGuard::~SearchGuard() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool SearchGuard::blocks(const QEvent* e, const QObject* receiver) {
    switch (e->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
        // Only the widgets' own handlers are kept from running; the window
        // system's bookkeeping of the active window still sees the change.
        return receiver != nullptr && receiver->isWidgetType();
    case QEvent::Close:
        return receiver != nullptr && receiver->isWidgetType();
    case QEvent::Timer:
        return receiver != nullptr && qobject_cast<const QTimer*>(receiver) != nullptr;
    default:
        return false;
    }
}

bool SearchGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!blocks(event, watched)) return false;
    // A refused close must stay refused, not count as accepted.
    if (event->type() == QEvent::Close) event->ignore();
    return true;
}
