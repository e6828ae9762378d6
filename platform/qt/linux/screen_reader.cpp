#include "platform/qt/screen_reader.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QPointer>

#include "platform/qt/key_state.h"

namespace lork {

namespace {

// Qt's bridge to AT-SPI talks on a connection of its own to the
// accessibility bus. A method call that comes in on it is posted to the
// object registered at the call's path as a MetaCall event (QtDBus reads the
// bus in a thread of its own); the answers to the program's own calls (the
// screen reader's verdict on a key press) come back the same way to the
// object that asked. So the bridge's objects and their children are the
// only receivers served here.
constexpr const char* kBridgePaths[] = {"/org/a11y/atspi/accessible", "/org/a11y/atspi/cache"};

struct Bridge {
    QPointer<QObject> objects[std::size(kBridgePaths)];
    bool found() const {
        for (const auto& o : objects)
            if (!o) return false;
        return true;
    }
    void lookUp() {
        const QDBusConnection bus(QStringLiteral("a11y"));
        if (!bus.isConnected()) return;
        for (size_t i = 0; i < std::size(kBridgePaths); ++i)
            if (!objects[i]) objects[i] = bus.objectRegisteredAt(QString::fromLatin1(kBridgePaths[i]));
    }
};

}  // namespace

void answerScreenReader() {
    // With no screen reader the bridge is not even connected.
    if (!QAccessible::isActive() || insideEventPump()) return;
    static Bridge bridge;
    if (!bridge.found()) bridge.lookUp();
    const EventPump pump;
    for (const auto& o : bridge.objects) {
        if (!o) continue;
        QCoreApplication::sendPostedEvents(o, QEvent::MetaCall);
        for (QObject* child : o->children()) QCoreApplication::sendPostedEvents(child, QEvent::MetaCall);
    }
}

}  // namespace lork
