#include "app/tool_button.h"

#include <QAction>
#include <QEvent>
#include <QLayout>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

QToolButton* makeToolButton(QToolBar* bar, const ToolButtonLook& look, QAction* bound, bool shown) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QStringLiteral("ToolButton%1").arg(look.n));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setIconSize(QSize(32, 32));
    b->setMinimumWidth(64);
    b->setIcon(look.icon);
    b->setText(look.caption);
    b->setToolTip(look.hint);
    if (bound) QObject::connect(b, &QToolButton::clicked, bound, &QAction::trigger);
    QAction* slot = bar->addWidget(b);
    slot->setVisible(shown);
    return b;
}

QList<QToolButton*> buttonsOverflowing(const QToolBar* bar) {
    QList<QToolButton*> out;
    for (QAction* a : bar->actions()) {
        auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a));
        // Button 2, never shown, is not one the bar lacks room for.
        if (b && a->isVisible() && b->isHidden()) out << b;
    }
    return out;
}

namespace {
// Qt disables the overflow button when only widgets overflow (its menu
// cannot hold widgets), after every layout of the bar: enabled again, it
// lists our buttons as menu items.
class KeepEnabled : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::EnabledChange && !w->isEnabled())
            QMetaObject::invokeMethod(w, [w] { w->setEnabled(true); }, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};
}  // namespace

void addOverflowMenu(QToolBar* bar) {
    auto* ext = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    if (!ext) return;
    // Qt's own expansion would lay the hidden buttons out past the bar's
    // edge, where nothing shows them.
    QObject::disconnect(ext, nullptr, bar->layout(), nullptr);
    ext->installEventFilter(new KeepEnabled(ext));
    ext->setEnabled(true);
    QMenu* menu = ext->menu();
    if (!menu) {
        menu = new QMenu(ext);
        ext->setMenu(menu);
        ext->setPopupMode(QToolButton::InstantPopup);
    }
    menu->setObjectName(QStringLiteral("ToolBarOverflow"));
    // Heard by its name like every button of the bar; Qt gives it none.
    ext->setAccessibleName(QStringLiteral("остальные кнопки"));
    ext->setToolTip(QStringLiteral("кнопки, которым не хватило места"));
    QObject::connect(menu, &QMenu::aboutToShow, bar, [bar, menu] {
        // The last showing's items go now: one of them may have been
        // triggered after the menu closed.
        for (QAction* a : menu->actions())
            if (a->property("overflowItem").toBool()) delete a;
        for (QToolButton* b : buttonsOverflowing(bar)) {
            QAction* item = menu->addAction(b->icon(), b->text());
            item->setProperty("overflowItem", true);
            item->setToolTip(b->toolTip());
            item->setEnabled(b->isEnabled());
            item->setCheckable(b->isCheckable());
            item->setChecked(b->isChecked());
            QObject::connect(item, &QAction::triggered, b, [b] { b->click(); });
        }
    });
}
