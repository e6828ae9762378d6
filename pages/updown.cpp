#include "pages/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(18, 12);
        lay->addWidget(b);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void UpDown::setPosition(int v) {
    pos_ = v < min_ ? min_ : (v > max_ ? max_ : v);
}

void UpDown::setBuddy(QLineEdit* edit) {
    if (buddy_) buddy_->removeEventFilter(this);
    buddy_ = edit;
    if (buddy_) buddy_->installEventFilter(this);
}

void UpDown::step(int delta) {
    // A step starts from what the edit shows (typed text included), brought
    // into range; a text that is no number leaves the last position in force.
    int cur = pos_;
    if (buddy_) {
        bool ok = false;
        const int typed = buddy_->text().trimmed().toInt(&ok);
        if (ok) cur = typed < min_ ? min_ : (typed > max_ ? max_ : typed);
    }
    const int next = cur + delta;
    emit changing();
    emit changingEx(next);
    if (next < min_ || next > max_) return;
    pos_ = next;
    if (buddy_) buddy_->setText(QString::number(next));
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
