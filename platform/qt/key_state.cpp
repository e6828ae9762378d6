#include "platform/qt/key_state.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "platform/host.h"

namespace lork {

namespace {
int pumpDepth = 0;
}  // namespace

bool insideEventPump() { return pumpDepth > 0; }
EventPump::EventPump() { ++pumpDepth; }
EventPump::~EventPump() { --pumpDepth; }

KeyState::KeyState(QObject* parent) : QObject(parent) {}

KeyState::~KeyState() {
    if (installed_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void KeyState::install() {
    if (installed_ || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    installed_ = true;
}

int KeyState::virtualKeyOf(int qtKey, const QString& text) {
    // The Q and X keys of a Russian keyboard type "й" and "ч".
    const QString t = text.toLower();
    if (qtKey == Qt::Key_Q || t == QStringLiteral("й")) return VK_Q;
    if (qtKey == Qt::Key_X || t == QStringLiteral("ч")) return VK_X;
    return 0;
}

bool KeyState::keyPressedSince(int vk) {
    if (installed_ && !insideEventPump()) {
        const EventPump pump;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    const bool system = systemKeyPressedSince(vk);
    return pressed_.erase(vk) > 0 || system;
}

bool KeyState::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(event);
        // One press reaches the filter once per receiver in the propagation
        // chain; recording is idempotent, so that does no harm.
        if (int vk = virtualKeyOf(k->key(), k->text())) pressed_.insert(vk);
        return insideEventPump();
    }
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Close:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Timer:
        return insideEventPump();
    default:
        return QObject::eventFilter(watched, event);
    }
}

}  // namespace lork
