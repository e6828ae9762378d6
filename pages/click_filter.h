#pragma once
// Click and double-click handlers for widgets that have no such signals.
#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <functional>

// Click and double-click of a widget that has no such signals (labels,
// edits). A click is a left press and release on the widget; the release
// that ends a double-click is not a second click.
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
        case QEvent::MouseButtonRelease:
            if (pressed_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                pressed_ = false;
                if (click_) click_();
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> click_, dbl_;
    bool pressed_ = false;
};
