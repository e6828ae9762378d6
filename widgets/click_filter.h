#pragma once
#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QWidget>
#include <functional>

// Click and double-click of a widget that has no such signals (labels,
// static texts, group boxes, read-only edits). A click is a left press and a
// release over the widget; the release that ends a double-click is not a
// second click, so a double-click runs the click handler once, then the
// double-click handler.
namespace lork::widgets {

class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> click, std::function<void()> dblClick = {})
        : QObject(parent), click_(std::move(click)), dbl_(std::move(dblClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            break;
        case QEvent::MouseButtonDblClick:
            pressed_ = false;
            if (dbl_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) dbl_();
            break;
        case QEvent::MouseButtonRelease: {
            auto* me = static_cast<QMouseEvent*>(event);
            auto* w = qobject_cast<QWidget*>(watched);
            const bool inside = !w || w->rect().contains(me->position().toPoint());
            const bool click = pressed_ && inside && me->button() == Qt::LeftButton;
            pressed_ = false;
            if (click && click_) click_();
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> click_, dbl_;
    bool pressed_ = false;
};

// Gives a widget its click and double-click handlers (either may be empty).
inline void onClick(QWidget* w, std::function<void()> click, std::function<void()> dblClick = {}) {
    w->installEventFilter(new ClickFilter(w, std::move(click), std::move(dblClick)));
}

}  // namespace lork::widgets
