#include "pages/search_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>

namespace {
int g_active = 0;
}

SearchGuard::SearchGuard(std::function<void(int)> onKey) : onKey_(std::move(onKey)) {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
    ++g_active;
}

SearchGuard::~SearchGuard() {
    --g_active;
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool SearchGuard::active() { return g_active > 0; }

void SearchGuard::pump() {
    // Everything is delivered, so that input reaches the filter (and is
    // swallowed there) instead of waiting in the queue until the search ends;
    // ExcludeUserInputEvents would keep Q and X from being seen at all.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool SearchGuard::blocks(const QEvent* e, const QObject* receiver) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    // closing the main window would save and quit in the middle of an exchange
    case QEvent::Close:
    // activation re-opens the port and probes: an exchange inside the search
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
        return true;
    case QEvent::Timer:
        // The program's own timers (the clock, polling) wait for the search to end.
        return receiver != nullptr && qobject_cast<const QTimer*>(receiver) != nullptr;
    default:
        return false;
    }
}

bool SearchGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!blocks(event, watched)) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed here so that no shortcut fires and the key press itself follows.
        event->accept();
    } else if (event->type() == QEvent::KeyPress && onKey_) {
        onKey_(static_cast<QKeyEvent*>(event)->key());
    }
    return true;
}
