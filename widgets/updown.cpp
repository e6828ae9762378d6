#include "widgets/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/accessible.h"
#include "widgets/conversions.h"

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    for (auto* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(18, 12);
        b->setIconSize(QSize(8, 8));
        lay->addWidget(b);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { step(Up); });
    connect(down_, &QToolButton::clicked, this, [this] { step(Down); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void UpDown::setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    pos_ = std::clamp(pos_, min_, max_);
}

void UpDown::setPosition(int pos) {
    pos_ = std::clamp(pos, min_, max_);
    if (edit_) edit_->setText(QString::number(pos_));
}

void UpDown::setAssociate(QLineEdit* edit) {
    if (edit_) edit_->removeEventFilter(this);
    edit_ = edit;
    if (!edit_) return;
    edit_->installEventFilter(this);
    lork::widgets::bindSpin(edit_, this);
    // The arrows stand beside the edit, as tall as it is.
    const int h = std::max(edit_->sizeHint().height(), 20);
    up_->setFixedSize(18, h / 2);
    down_->setFixedSize(18, h - h / 2);
}

void UpDown::step(Direction dir) {
    // A bound edit's number is the position the step starts from; text that
    // is no number leaves the last known position.
    if (edit_)
        if (auto v = strToInt(edit_->text())) pos_ = std::clamp(int(*v), min_, max_);
    const int delta = dir == Up ? inc_ : dir == Down ? -inc_ : 0;
    const int next = pos_ + delta;
    bool allow = true;
    emit changing(allow);
    emit changingEx(allow, next, dir);
    if (!allow) return;
    const int clamped = std::clamp(next, min_, max_);
    if (clamped != pos_) {
        pos_ = clamped;
        if (edit_) edit_->setText(QString::number(pos_));
    }
    emit clicked(dir);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress && isEnabled()) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Up) {
            step(Up);
            return true;
        }
        if (k->key() == Qt::Key_Down) {
            step(Down);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
