#include "app/window_access.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>

#include "ui_tfglav.h"
#include "widgets/accessible.h"
#include "widgets/exchange_line.h"
#include "widgets/port_box.h"
#include "widgets/updown.h"

using lork::widgets::nameControl;
using lork::widgets::nameAfter;

void nameWindowControls(Ui::Fglav& ui) {
    // The instrument's fields have hints but no captions.
    nameControl(ui.Ed_name, QStringLiteral("наименование прибора"));
    nameControl(ui.Ed_version, QStringLiteral("версия ПО и прибора"));
    nameControl(ui.Edit_cur_date, QStringLiteral("текущая дата"));
    nameControl(ui.Edit_cur_time, QStringLiteral("текущее время"));
    nameAfter(ui.Lport, ui.CBports);
    nameAfter(ui.Lscor, ui.CBscor);
    nameAfter(ui.Lparity, ui.CBparity);
    nameAfter(ui.Lstopbit, ui.CBstopbit);
    nameAfter(ui.Lsysnum, ui.Esysnum);
    lork::widgets::nameArrows(ui.UpDown_adr, ui.Esysnum->accessibleName());
    nameAfter(ui.Label1, ui.CBtime_opros);
    for (QWidget* w : {static_cast<QWidget*>(ui.LBtuda), static_cast<QWidget*>(ui.LBsuda)})
        w->setAccessibleDescription(w->toolTip());
    nameAfter(ui.Ltuda, ui.LBtuda);
    nameAfter(ui.Lsuda, ui.LBsuda);
    nameControl(ui.PageControl1, QStringLiteral("страницы"));
    focusIntoPages(ui.PageControl1);
    nameControl(ui.ListBox1, QStringLiteral("информационное окно"), QStringLiteral("сообщения о результатах обмена"));
}

namespace {

// A tab widget's pages sit in a stack Qt presents as a "layered pane",
// which a screen reader names on every entry to a page. The stack is a plain
// grouping here, which readers pass over, and each page is a page named by
// its tab: entering a page is heard by the page's name.
bool isPageStack(const QObject* o) {
    return o->objectName() == QLatin1String("qt_tabwidget_stackedwidget") && qobject_cast<QTabWidget*>(o->parent());
}

class PageAccess : public QAccessibleWidget {
public:
    PageAccess(QWidget* page, QTabWidget* tabs) : QAccessibleWidget(page, QAccessible::PropertyPage), tabs_(tabs) {}
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return QAccessibleWidget::text(t);
        const int i = tabs_->indexOf(widget());
        return i < 0 ? QString() : tabs_->tabText(i).remove(QLatin1Char('&'));
    }

private:
    QTabWidget* tabs_;
};

QAccessibleInterface* pageFactory(const QString&, QObject* o) {
    if (!o || !o->isWidgetType()) return nullptr;
    auto* w = static_cast<QWidget*>(o);
    if (isPageStack(o)) return new QAccessibleWidget(w, QAccessible::Grouping);
    if (o->parent() && isPageStack(o->parent())) return new PageAccess(w, static_cast<QTabWidget*>(o->parent()->parent()));
    return nullptr;
}

// Left and Right in an open menu go to the next menu of the bar, whose first
// item takes the focus; then Qt gives the window's focus widget its focus
// back (the bar held it during the switch), which a screen reader says in
// place of the item. The item is told again once the switch is over.
class MenuSwitchVoice : public QObject {
public:
    explicit MenuSwitchVoice(QMenuBar* bar) : QObject(bar), bar_(bar) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) QTimer::singleShot(0, this, [this] { retell(); });
        }
        return false;
    }

private:
    void retell() {
        QAction* open = bar_->activeAction();
        QMenu* menu = open ? open->menu() : nullptr;
        if (!menu || QApplication::activePopupWidget() != menu || !menu->activeAction()) return;
        if (!QAccessible::isActive()) return;
        QAccessibleEvent focus(menu, QAccessible::Focus);
        focus.setChild(int(menu->actions().indexOf(menu->activeAction())));
        QAccessible::updateAccessibility(&focus);
    }
    QMenuBar* bar_;
};

}  // namespace

void focusIntoPages(QTabWidget* tabs) {
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [tabs](int i) {
        QWidget* page = tabs->widget(i);
        // Qt leaves the focus on the page itself when it finds no control on
        // it to take the focus from the page that went: nothing is heard
        // and the next Tab starts from there.
        if (!page || QApplication::focusWidget() != page) return;
        for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                w->setFocus(Qt::TabFocusReason);
                return;
            }
        }
    });
}

void presentPagesByName() {
    static const bool installed = [] {
        QAccessible::installFactory(pageFactory);
        return true;
    }();
    (void)installed;
}

void openMenusByKeys(QWidget* window, QMenuBar* bar) {
    const QList<QAction*> menus = bar->actions();
    if (menus.isEmpty()) return;
    auto* voice = new MenuSwitchVoice(bar);
    for (QAction* menu : menus)
        if (menu->menu()) menu->menu()->installEventFilter(voice);
    auto open = [bar](QAction* menu) {
        // The bar opens a menu given to it as its active item.
        return [bar, menu] {
            if (menu->isEnabled() && menu->isVisible()) bar->setActiveAction(menu);
        };
    };
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_F10), window), &QShortcut::activated, bar,
                     open(menus.first()));
    // The Latin letter on the same key as each Cyrillic one, so that the key
    // works whichever layout is on.
    static const QString cyrillic = QStringLiteral("ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ");
    static const QString latin = QStringLiteral("QWERTYUIOP[]ASDFGHJKL;'ZXCVBNM,.");
    for (QAction* menu : menus) {
        const QString title = menu->text().trimmed().remove(QLatin1Char('&'));
        if (title.isEmpty()) continue;
        const QChar first = title.front().toUpper();
        QList<QChar> keys{first};
        if (const auto at = cyrillic.indexOf(first); at >= 0) keys << latin[at];
        for (QChar key : keys) {
            auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Alt+") + key), window);
            QObject::connect(shortcut, &QShortcut::activated, bar, open(menu));
        }
    }
}
