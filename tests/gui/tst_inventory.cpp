// Every named control of the main window as the operator finds it after the
// start (the window itself, then each page shown by its tool button): name,
// class, text, tool tip, items, enabled and shown, and the menus' items,
// against a record kept in inventory.txt. LORK_INVENTORY_RECORD=<file>
// writes a new record instead.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include "gui_fixture.h"

namespace {

QString quoted(const QString& s) {
    QString out = s;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString flags(bool enabled, bool shown) {
    return QString(enabled ? QStringLiteral(" on") : QStringLiteral(" off")) +
           (shown ? QStringLiteral(" shown") : QStringLiteral(" hidden"));
}

QString describe(QWidget* w) {
    QString line = w->objectName() + QLatin1Char(' ') + QLatin1String(w->metaObject()->className());
    if (auto* l = qobject_cast<QLabel*>(w)) {
        line += QStringLiteral(" text=") + quoted(l->text());
        if (l->buddy()) line += QStringLiteral(" buddy=") + l->buddy()->objectName();
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        line += QStringLiteral(" text=") + quoted(b->text());
        if (!b->icon().isNull()) line += QStringLiteral(" icon");
        if (b->isCheckable()) line += b->isChecked() ? QStringLiteral(" checked") : QStringLiteral(" unchecked");
        if (auto* t = qobject_cast<QToolButton*>(w); t && t->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
            line += QStringLiteral(" text-under-icon");
    } else if (auto* bar = qobject_cast<QToolBar*>(w)) {
        QStringList order;
        for (QAction* a : bar->actions())
            if (QWidget* in = bar->widgetForAction(a)) order << in->objectName();
        line += QStringLiteral(" order=") + order.join(QLatin1Char(' '));
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        line += QStringLiteral(" text=") + quoted(e->text());
        if (e->isReadOnly()) line += QStringLiteral(" read-only");
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        line += QStringLiteral(" title=") + quoted(g->title());
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
        line += QStringLiteral(" items=") + quoted(items.join(QLatin1Char('|'))) +
                QStringLiteral(" current=%1").arg(c->currentIndex());
        if (c->isEditable()) line += QStringLiteral(" editable");
    } else if (auto* t = qobject_cast<QTabWidget*>(w)) {
        QStringList tabs;
        for (int i = 0; i < t->count(); ++i)
            tabs << t->tabText(i) + (t->isTabEnabled(i) ? QString() : QStringLiteral("(off)"));
        line += QStringLiteral(" tabs=") + quoted(tabs.join(QLatin1Char('|'))) +
                QStringLiteral(" current=%1").arg(t->currentIndex());
    }
    if (!w->toolTip().isEmpty()) line += QStringLiteral(" tip=") + quoted(w->toolTip());
    // A label's width may follow its text, and so the font.
    if (w->minimumWidth() == w->maximumWidth() && !qobject_cast<QLabel*>(w))
        line += QStringLiteral(" width=%1").arg(w->minimumWidth());
    return line + flags(w->isEnabled(), w->isVisible());
}

// The named widgets below root in the order of the tree; below a skipped
// widget (a page's sheet, seen on its own) nothing is listed.
void walk(QWidget* root, const QWidget* skip, QStringList& out) {
    for (QObject* o : root->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w == skip || w->isWindow()) continue;
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"))) out << describe(w);
        walk(w, skip, out);
    }
}

void menus(const QList<QAction*>& actions, const QString& indent, QStringList& out) {
    for (QAction* a : actions) {
        if (a->isSeparator()) {
            out << indent + QStringLiteral("-");
            continue;
        }
        const QString name = a->menu() ? a->menu()->objectName() : a->objectName();
        QString line = indent + name + QStringLiteral(" text=") + quoted(a->text());
        if (a->toolTip() != QString(a->text()).remove(QLatin1Char('&')))
            line += QStringLiteral(" tip=") + quoted(a->toolTip());
        if (a->isCheckable()) line += a->isChecked() ? QStringLiteral(" checked") : QStringLiteral(" unchecked");
        out << line + flags(a->isEnabled(), a->isVisible());
        if (a->menu()) menus(a->menu()->actions(), indent + QStringLiteral("  "), out);
    }
}

QString inventory(lork::test::GuiRig& r) {
    QStringList out;
    auto* tabs = r.find<QTabWidget>("PageControl1");
    out << QStringLiteral("[main window]");
    walk(r.w.get(), tabs, out);
    out << describe(tabs);
    out << QStringLiteral("[menu]");
    menus(r.w->menuBar()->actions(), QString(), out);
    // Each page as its tool button shows it.
    const char* buttons[] = {"ToolButton10", "ToolButton9", "ToolButton11", "ToolButton7"};
    for (int i = 0; i < 4; ++i) {
        r.find<QAbstractButton>(buttons[i])->click();
        out << QStringLiteral("[page %1: %2]").arg(i + 1).arg(tabs->tabText(i));
        walk(r.w->tabSheet(i), nullptr, out);
        out << describe(r.find<QWidget>("StatusPanel5"));
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace

class TstInventory : public QObject {
    Q_OBJECT
private slots:
    void controlsAsRecorded();
};

void TstInventory::controlsAsRecorded() {
    lork::test::GuiRig r;
    r.w->resize(1600, 800);  // room for every tool button
    r.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
    // The activation that the first showing stands in for has run.
    QTest::qWait(500);
    const QString text = inventory(r);

    const QString differs = lork::test::compareWithRecord(text, "LORK_INVENTORY_RECORD", QStringLiteral(LORK_INVENTORY_FILE));
    QVERIFY2(differs.isEmpty(), qPrintable(differs));
}

QTEST_MAIN(TstInventory)
#include "tst_inventory.moc"
