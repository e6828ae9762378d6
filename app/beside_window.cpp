#include "app/beside_window.h"

#include <QScreen>
#include <QShortcut>
#include <QWidget>
#include <algorithm>

#include "app/activation_gate.h"

void markBeside(QWidget* w) {
    w->setProperty(kBesideProperty, true);
    // Escape closes it, as it closes a dialog, from the keyboard alone.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), w);
    escape->setObjectName(QStringLiteral("KeyClose"));
    QObject::connect(escape, &QShortcut::activated, w, &QWidget::close);
}

QMargins frameOf(const QWidget* w) {
    const QRect outer = w->frameGeometry(), inner = w->geometry();
    if (w->isVisible() && outer != inner)
        return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                outer.bottom() - inner.bottom()};
    return {6, 32, 6, 6};  // a title bar and thin borders, as most window managers draw them
}

QRect fitInside(QRect inner, const QRect& avail, const QMargins& frame) {
    const QRect room = avail.marginsRemoved(frame);
    inner.setSize(inner.size().boundedTo(room.size()));
    inner.moveLeft(std::clamp(inner.left(), room.left(), room.right() - inner.width() + 1));
    inner.moveTop(std::clamp(inner.top(), room.top(), room.bottom() - inner.height() + 1));
    return inner;
}

void showBeside(QWidget* w) {
    if (const QScreen* screen = w->screen()) {
        const QRect avail = screen->availableGeometry();
        QRect want = w->geometry();
        // Never placed yet: in the middle of the screen, not at its corner.
        if (!w->testAttribute(Qt::WA_Moved)) want.moveCenter(avail.center());
        const QRect fitted = fitInside(want, avail, frameOf(w));
        if (fitted != w->geometry()) w->setGeometry(fitted);
    }
    w->show();
    w->raise();
    w->activateWindow();
}
