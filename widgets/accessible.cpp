#include "widgets/accessible.h"

#include <QAbstractButton>
#include <QAction>
#include <QAccessible>
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>

#include "platform/qt/key_state.h"
#include "widgets/announcer.h"
#include "widgets/click_filter.h"
#include "widgets/conversions.h"
#include "widgets/updown.h"

namespace lork::widgets {

QString captionName(const QString& caption) {
    QString s;
    s.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        // "&&" is a shown ampersand, a single '&' marks the mnemonic.
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
        s += caption[i];
    }
    s = s.simplified();
    while (s.endsWith(QLatin1Char(':'))) s.chop(1);
    return s.trimmed();
}

void nameAfter(QLabel* caption, QWidget* field, const QString& more) {
    caption->setBuddy(field);
    const QString name = captionName(caption->text());
    field->setAccessibleName(more.isEmpty() ? name : name + QStringLiteral(", ") + more);
}

void nameControl(QWidget* w, const QString& name, const QString& description) {
    w->setAccessibleName(name);
    if (!description.isEmpty()) w->setAccessibleDescription(description);
}

void nameArrows(UpDown* arrows, const QString& field) {
    arrows->setAccessibleName(field);
    arrows->upButton()->setAccessibleName(QStringLiteral("больше ") + field);
    arrows->downButton()->setAccessibleName(QStringLiteral("меньше ") + field);
}

void setState(QWidget* w, const QString& state) {
    if (w->accessibleDescription() == state) return;
    w->setAccessibleDescription(state);  // Qt announces DescriptionChanged
}

QString readAction() { return QStringLiteral("прочитать"); }
QString readAllAction() { return QStringLiteral("прочитать всё"); }

namespace {

const QString readHandlersName = QStringLiteral("lork_read_handlers");
// A value label's own name (see nameValueLabel).
const char* const captionProperty = "lork_caption";
// The up-down bound to an edit.
const char* const arrowsProperty = "lork_arrows";

UpDown* arrowsOf(const QWidget* edit) {
    return qobject_cast<UpDown*>(edit->property(arrowsProperty).value<QObject*>());
}

// The read handlers of a field, found by the accessibility factory; they
// also take Enter and Shift+Enter.
class ReadHandlers : public QObject {
public:
    ReadHandlers(QWidget* w, std::function<void()> click, std::function<void()> dbl)
        : QObject(w), click_(std::move(click)), dbl_(std::move(dbl)) {
        setObjectName(readHandlersName);
        w->installEventFilter(this);
    }
    void read() const { click_ ? click_() : dbl_(); }
    // A double-click is a click first, as the mouse gives it.
    void readAll() const {
        if (click_) click_();
        if (dbl_) dbl_();
    }
    bool hasAll() const { return bool(dbl_) && bool(click_); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(event);
            const auto mods = k->modifiers() & ~Qt::KeypadModifier;
            if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
                (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
                mods == Qt::ShiftModifier ? readAll() : read();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> click_, dbl_;
};

ReadHandlers* readHandlersOf(QObject* o) {
    return dynamic_cast<ReadHandlers*>(o->findChild<QObject*>(readHandlersName, Qt::FindDirectChildrenOnly));
}

// Runs f from the event loop while ctx lives. A command that blocks the loop
// lets queued calls through where it asks for the keys Q and X; one that
// comes due there waits for the loop itself, as a click would.
void later(QObject* ctx, std::function<void()> f) {
    QTimer::singleShot(0, ctx, [ctx, f = std::move(f)]() mutable {
        if (lork::insideEventPump())
            later(ctx, std::move(f));
        else
            f();
    });
}

// Qt's own interface of the object, with the actions changed: everything
// else is passed through.
class CommandAccess : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit CommandAccess(QAccessibleInterface* inner) : inner_(inner) {}
    // The inner interface stays in Qt's cache, which deletes it.

    bool isValid() const override { return inner_->isValid(); }
    QObject* object() const override { return inner_->object(); }
    QWindow* window() const override { return inner_->window(); }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
        QAccessible::Relation match) const override {
        return inner_->relations(match);
    }
    QAccessibleInterface* focusChild() const override { return inner_->focusChild(); }
    QAccessibleInterface* childAt(int x, int y) const override { return inner_->childAt(x, y); }
    QAccessibleInterface* parent() const override { return inner_->parent(); }
    QAccessibleInterface* child(int index) const override { return inner_->child(index); }
    int childCount() const override { return inner_->childCount(); }
    int indexOfChild(const QAccessibleInterface* c) const override { return inner_->indexOfChild(c); }
    QString text(QAccessible::Text t) const override { return inner_->text(t); }
    void setText(QAccessible::Text t, const QString& text) override { inner_->setText(t, text); }
    QRect rect() const override { return inner_->rect(); }
    QAccessible::Role role() const override { return inner_->role(); }
    QAccessible::State state() const override { return inner_->state(); }
    QColor foregroundColor() const override { return inner_->foregroundColor(); }
    QColor backgroundColor() const override { return inner_->backgroundColor(); }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
        return inner_->interface_cast(t);
    }

    QStringList actionNames() const override {
        auto* a = inner_->actionInterface();
        return a ? a->actionNames() : QStringList{};
    }
    QString localizedActionName(const QString& name) const override {
        auto* a = inner_->actionInterface();
        return a ? a->localizedActionName(name) : name;
    }
    QString localizedActionDescription(const QString& name) const override {
        auto* a = inner_->actionInterface();
        return a ? a->localizedActionDescription(name) : QString();
    }
    void doAction(const QString& name) override {
        if (auto* a = inner_->actionInterface()) a->doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        auto* a = inner_->actionInterface();
        return a ? a->keyBindingsForAction(name) : QStringList{};
    }

protected:
    QAccessibleInterface* inner_;
};

// A button's press and toggle are its click (Qt's toggle of a checkable
// button flips it without the click that the window's handlers answer).
class ButtonAccess : public CommandAccess {
public:
    using CommandAccess::CommandAccess;
    // A checkable push or tool button ("пуск") is a toggle button, not the
    // check box Qt calls it.
    QAccessible::Role role() const override {
        const QAccessible::Role r = CommandAccess::role();
        auto* b = qobject_cast<QAbstractButton*>(object());
        if (r == QAccessible::CheckBox && b && !qobject_cast<QCheckBox*>(b)) return QAccessible::Button;
        return r;
    }
    void doAction(const QString& name) override {
        auto* b = qobject_cast<QAbstractButton*>(object());
        if (b && (name == pressAction() || name == toggleAction())) {
            later(b, [b] {
                if (b->isEnabled()) b->click();
            });
            return;
        }
        CommandAccess::doAction(name);
    }
};

// A field's re-read as its actions.
class FieldAccess : public CommandAccess {
public:
    using CommandAccess::CommandAccess;
    QStringList actionNames() const override {
        QStringList names = CommandAccess::actionNames();
        if (auto* h = handlers()) {
            names.prepend(readAction());
            if (h->hasAll()) names.insert(1, readAllAction());
        }
        return names;
    }
    QString localizedActionName(const QString& name) const override {
        return name == readAction() || name == readAllAction() ? name : CommandAccess::localizedActionName(name);
    }
    QString localizedActionDescription(const QString& name) const override {
        if (name == readAction()) return QStringLiteral("прочитать значение из прибора");
        if (name == readAllAction()) return QStringLiteral("прочитать значение и связанные с ним");
        return CommandAccess::localizedActionDescription(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == readAction()) return {QStringLiteral("Return")};
        if (name == readAllAction()) return {QStringLiteral("Shift+Return")};
        return CommandAccess::keyBindingsForAction(name);
    }
    void doAction(const QString& name) override {
        auto* w = qobject_cast<QWidget*>(object());
        if (w && (name == readAction() || name == readAllAction())) {
            const bool all = name == readAllAction();
            later(w, [w, all] {
                auto* h = readHandlersOf(w);
                if (!h || !w->isEnabled()) return;
                all ? h->readAll() : h->read();
            });
            return;
        }
        CommandAccess::doAction(name);
    }

private:
    ReadHandlers* handlers() const { return object() ? readHandlersOf(object()) : nullptr; }
};

// A combo box chosen through the bus: the item's index as a value, set as
// the operator's choice is (the handlers answer `activated`). Its name is
// the one given to it (Qt on Linux names it by its current item); its text
// is the chosen item, which a screen reader takes for the box's value.
class ComboAccess : public ButtonAccess, public QAccessibleValueInterface, public QAccessibleTextInterface {
public:
    using ButtonAccess::ButtonAccess;
    QString text(QAccessible::Text t) const override {
        QComboBox* c = combo();
        if (t == QAccessible::Name && c && !c->accessibleName().isEmpty()) return c->accessibleName();
        if (t == QAccessible::Value && c) return c->currentText();
        return ButtonAccess::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return ButtonAccess::interface_cast(t);
    }
    QVariant currentValue() const override { return combo() ? combo()->currentIndex() : -1; }
    void setCurrentValue(const QVariant& value) override {
        QComboBox* c = combo();
        if (!c) return;
        const int i = value.toInt();
        later(c, [c, i] {
            if (!c->isEnabled() || i < 0 || i >= c->count()) return;
            c->setCurrentIndex(i);
            emit c->activated(i);
            emit c->textActivated(c->itemText(i));
        });
    }
    QVariant maximumValue() const override { return combo() ? combo()->count() - 1 : 0; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

    // The chosen item as read-only text.
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = offset;
        *end = offset;
        return {};
    }

private:
    QComboBox* combo() const { return qobject_cast<QComboBox*>(object()); }
    QString shown() const { return combo() ? combo()->currentText() : QString(); }
};

// An edit with its up-down arrows is one spin button: its number is the
// value, and a step of the arrows (or Up and Down in the edit) is heard as
// the value's change.
class SpinAccess : public CommandAccess, public QAccessibleValueInterface {
public:
    using CommandAccess::CommandAccess;
    QAccessible::Role role() const override { return QAccessible::SpinBox; }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return CommandAccess::interface_cast(t);
    }
    QVariant currentValue() const override {
        const auto v = edit() ? strToInt(edit()->text()) : std::nullopt;
        return v ? QVariant(int(*v)) : QVariant();
    }
    void setCurrentValue(const QVariant& value) override {
        QLineEdit* e = edit();
        if (!e) return;
        const QString text = QString::number(value.toInt());
        later(e, [e, text] {
            if (e->isEnabled() && !e->isReadOnly()) e->setText(text);
        });
    }
    QVariant maximumValue() const override { return arrows() ? arrows()->maximum() : 0; }
    QVariant minimumValue() const override { return arrows() ? arrows()->minimum() : 0; }
    QVariant minimumStepSize() const override { return arrows() ? arrows()->increment() : 1; }

private:
    QLineEdit* edit() const { return qobject_cast<QLineEdit*>(object()); }
    UpDown* arrows() const { return edit() ? arrowsOf(edit()) : nullptr; }
};

// A label that shows a value under a name of its own ("ответ прибора на
// запись калибровки"): the name carries the value after it.
class ValueLabelAccess : public CommandAccess {
public:
    using CommandAccess::CommandAccess;
    QString text(QAccessible::Text t) const override {
        auto* l = qobject_cast<QLabel*>(object());
        if (t == QAccessible::Name && l) {
            const QString caption = l->property(captionProperty).toString();
            const QString value = l->text().simplified();
            return value.isEmpty() ? caption : caption + QStringLiteral(": ") + value;
        }
        return CommandAccess::text(t);
    }
};

// A menu item's press, which may open a box or run a search, is its
// trigger from the event loop; an item that opens a submenu is left alone.
class MenuItemAccess : public CommandAccess {
public:
    using CommandAccess::CommandAccess;
    void doAction(const QString& name) override {
        auto* a = qobject_cast<QAction*>(object());
        if (a && !a->menu() && name == pressAction()) {
            later(a, [a] {
                if (a->isEnabled()) a->trigger();
            });
            return;
        }
        CommandAccess::doAction(name);
    }
};

bool insideFactory = false;

// Qt makes a menu item's interface only as a child of its menu's, so that is
// where it is taken from.
QAccessibleInterface* menuItemAccess(QAction* a) {
    for (QObject* owner : a->associatedObjects()) {
        auto* menu = qobject_cast<QWidget*>(owner);
        if (!menu || !(qobject_cast<QMenu*>(menu) || qobject_cast<QMenuBar*>(menu))) continue;
        const qsizetype at = menu->actions().indexOf(a);
        QAccessibleInterface* m = QAccessible::queryAccessibleInterface(menu);
        if (at < 0 || !m) continue;
        insideFactory = true;
        QAccessibleInterface* inner = m->child(int(at));
        insideFactory = false;
        if (inner && inner->object() == a) return new MenuItemAccess(inner);
    }
    return nullptr;
}

QAccessibleInterface* commandFactory(const QString&, QObject* o) {
    bool& inside = insideFactory;
    if (inside || !o) return nullptr;
    if (auto* a = qobject_cast<QAction*>(o); a && !a->isSeparator()) return menuItemAccess(a);
    if (!o->isWidgetType()) return nullptr;
    enum class Kind { Field, Combo, Button, Spin, ValueLabel } kind;
    if (readHandlersOf(o))
        kind = Kind::Field;
    else if (qobject_cast<QComboBox*>(o))
        kind = Kind::Combo;
    else if (qobject_cast<QAbstractButton*>(o))
        kind = Kind::Button;
    else if (qobject_cast<QLineEdit*>(o) && arrowsOf(static_cast<QWidget*>(o)))
        kind = Kind::Spin;
    else if (qobject_cast<QLabel*>(o) && o->property(captionProperty).isValid())
        kind = Kind::ValueLabel;
    else
        return nullptr;
    // Qt's own interface, from the factories after this one.
    inside = true;
    QAccessibleInterface* inner = QAccessible::queryAccessibleInterface(o);
    inside = false;
    if (!inner) return nullptr;
    switch (kind) {
    case Kind::Field: return new FieldAccess(inner);
    case Kind::Combo: return new ComboAccess(inner);
    case Kind::Button: return new ButtonAccess(inner);
    case Kind::Spin: return new SpinAccess(inner);
    case Kind::ValueLabel: return new ValueLabelAccess(inner);
    }
    return nullptr;
}

}  // namespace

void installAccessibleCommands() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(commandFactory);
}

bool takesReads(QWidget* w) { return readHandlersOf(w) != nullptr; }

namespace {
// An interface Qt made before the widget was marked would hide the mark.
void forgetInterface(QWidget* w) {
    QAccessibleInterface* known = QAccessible::queryAccessibleInterface(w);
    if (known) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
}
}  // namespace

void speakChoices(QComboBox* box) {
    installAccessibleCommands();
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box](int i) {
        // Heard only where the operator is: the box has the focus and its
        // list is closed (an open list's items speak for themselves).
        if (i < 0 || !box->hasFocus() || (box->view() && box->view()->isVisible())) return;
        // A reader presents a Qt box's change of value without the value
        // and drops its changes of name and description: it is announced.
        if (auto* a = Announcer::of(box)) a->announce(box->itemText(i));
    });
}

void nameValueLabel(QLabel* label, const QString& caption) {
    installAccessibleCommands();
    label->setProperty(captionProperty, caption);
    forgetInterface(label);
    // A value is read like the fields beside it.
    if (label->focusPolicy() == Qt::NoFocus) label->setFocusPolicy(Qt::TabFocus);
}

void bindSpin(QLineEdit* edit, UpDown* arrows) {
    installAccessibleCommands();
    edit->setProperty(arrowsProperty, QVariant::fromValue<QObject*>(arrows));
    forgetInterface(edit);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] {
        if (!QAccessible::isActive()) return;
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(edit);
        if (!i || !i->valueInterface()) return;
        QAccessibleValueChangeEvent changed(edit, i->valueInterface()->currentValue());
        QAccessible::updateAccessibility(&changed);
    });
}

void onRead(QWidget* w, std::function<void()> click, std::function<void()> dblClick) {
    installAccessibleCommands();
    onClick(w, click, dblClick);
    new ReadHandlers(w, std::move(click), std::move(dblClick));
    // An interface Qt made before the field had its reads would hide them.
    QAccessibleInterface* known = QAccessible::queryAccessibleInterface(w);
    if (known && !dynamic_cast<FieldAccess*>(known)) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
    // A field that only shows a value still takes the keyboard's focus, so
    // that Enter can reach it.
    if (w->focusPolicy() == Qt::NoFocus) w->setFocusPolicy(Qt::TabFocus);
}

}  // namespace lork::widgets
