#include "app/up_down.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        lay->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setMinimum(int v) {
    min_ = v;
    max_ = std::max(max_, min_);
    pos_ = std::clamp(pos_, min_, max_);
}

void UpDown::setMaximum(int v) {
    max_ = v;
    min_ = std::min(min_, max_);
    pos_ = std::clamp(pos_, min_, max_);
}

void UpDown::setPosition(int v) { pos_ = std::clamp(v, min_, max_); }

void UpDown::step(int direction) {
    const int next = std::clamp(pos_ + direction * inc_, min_, max_);
    emit changing(next);
    pos_ = next;
}
