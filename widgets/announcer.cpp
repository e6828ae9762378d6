#include "widgets/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace lork::widgets {

namespace {

// Never on the screen: it only carries the text to assistive technology.
class Notice : public QWidget {
public:
    explicit Notice(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_DontShowOnScreen);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }
    QString text;
};

class NoticeAccess : public QAccessibleWidget {
public:
    explicit NoticeAccess(Notice* n) : QAccessibleWidget(n, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return static_cast<Notice*>(widget())->text;
        return {};
    }
};

QAccessibleInterface* noticeFactory(const QString&, QObject* o) {
    if (auto* n = dynamic_cast<Notice*>(o)) return new NoticeAccess(n);
    return nullptr;
}

// Qt announces a label's change of text as a change of its name unless the
// label has a name of its own: this keeps one and brings it up to date.
class NamePace : public QObject {
public:
    static constexpr int gap = 2000;  // ms
    explicit NamePace(QLabel* l) : QObject(l), label_(l) {
        setObjectName(QStringLiteral("lork_name_pace"));
        later_.setSingleShot(true);
        connect(&later_, &QTimer::timeout, this, [this] { rename(); });
    }
    void changed() {
        if (!since_.isValid() || since_.elapsed() >= gap)
            rename();
        else if (!later_.isActive())
            later_.start(int(gap - since_.elapsed()));
    }

private:
    void rename() {
        since_.start();
        const QString text = label_->text();
        // An empty name would let the next text be announced by Qt again.
        const QString name = text.isEmpty() ? QStringLiteral(" ") : text;
        if (label_->accessibleName() != name) label_->setAccessibleName(name);
    }
    QLabel* label_;
    QElapsedTimer since_;
    QTimer later_;
};

}  // namespace

void paceName(QLabel* label) {
    auto* pace = dynamic_cast<NamePace*>(
        label->findChild<QObject*>(QStringLiteral("lork_name_pace"), Qt::FindDirectChildrenOnly));
    if (!pace) pace = new NamePace(label);
    pace->changed();
}

void unheard(const std::function<void()>& change) {
    const QAccessible::UpdateHandler before = QAccessible::installUpdateHandler([](QAccessibleEvent*) {});
    change();
    QAccessible::installUpdateHandler(before);
}

Announcer::Announcer(QWidget* window) : QObject(window) {
    setObjectName(QStringLiteral("Announcer"));
    static const bool installed = [] {
        QAccessible::installFactory(noticeFactory);
        return true;
    }();
    (void)installed;
    for (QWidget*& n : notices_) n = new Notice(window);
}

void Announcer::announce(const QString& text) {
    const QString t = text.simplified();
    if (t.isEmpty()) return;
    told_ << t;
    if (told_.size() > 50) told_.removeFirst();
    auto* n = static_cast<Notice*>(notices_[next_]);
    next_ = (next_ + 1) % notices_.size();
    n->text = t;
    if (!QAccessible::isActive()) return;
    QAccessibleEvent shown(n, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void Announcer::progress(const QString& text) {
    if (sinceProgress_.isValid() && sinceProgress_.elapsed() < progressGap) return;
    sinceProgress_.start();
    announce(text);
}

void Announcer::restartProgress() { sinceProgress_.invalidate(); }

Announcer* Announcer::of(const QWidget* w) {
    if (!w) return nullptr;
    const QWidget* top = w->window();
    return top->findChild<Announcer*>(QStringLiteral("Announcer"), Qt::FindDirectChildrenOnly);
}

}  // namespace lork::widgets
