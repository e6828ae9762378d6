// The window for the keyboard and for assistive technology: every control
// named and no two alike on a page, the menus by keys, the re-reads by Enter
// and by accessible action, "пуск" and a combo box through their interfaces.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <set>

#include "gui_fixture.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"
#include "widgets/accessible.h"

using Bytes = std::vector<uint8_t>;

namespace {

struct Rig : lork::test::GuiRig {
    lork::sim::InstrumentModel model;
    Rig() : GuiRig({"COM1"}) {
        lork::test::attachToFakePort(port, model);
        w->core().link.Port_setup(w->ls().scor_code);
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    // The requests that do() sends, after the events it queued have run.
    std::vector<Bytes> requestsOf(const std::function<void()>& what) {
        QCoreApplication::processEvents();
        const size_t before = port.writes.size();
        what();
        QCoreApplication::processEvents();
        std::vector<Bytes> out;
        for (size_t i = before; i < port.writes.size(); ++i) out.push_back(port.writes[i].bytes);
        return out;
    }
};

QAccessibleActionInterface* actionsOf(QWidget* w) { return QAccessible::queryAccessibleInterface(w)->actionInterface(); }

}  // namespace

class TstAccess : public QObject {
    Q_OBJECT
private slots:
    void everyControlNamedOncePerPage();
    void menusOpenByKeys_data();
    void menusOpenByKeys();
    void fieldReadsByKeysAndActions();
    void puskByItsAction();
    void comboBoxByItsValue();
    void menuItemAnswersBeforeItRuns();
    void pagesHeardByTheirTabs();
};

void TstAccess::everyControlNamedOncePerPage() {
    Rig r;
    for (int page = 1; page <= 4; ++page) {
        QTest::keyClick(r.w.get(), Qt::Key(Qt::Key_0 + page), Qt::ControlModifier);
        std::set<std::pair<int, QString>> seen;
        for (QWidget* c : r.w->findChildren<QWidget*>()) {
            if (!c->isVisible() || qobject_cast<QScrollBar*>(c)) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            const QStringList acts = a->actionInterface() ? a->actionInterface()->actionNames() : QStringList{};
            if (!(c->focusPolicy() & Qt::TabFocus) && acts.isEmpty()) continue;
            const QString name = a->text(QAccessible::Name).trimmed();
            const QString where = QStringLiteral("page %1: %2 '%3'").arg(page).arg(c->objectName(), name);
            QVERIFY2(!name.isEmpty(), qPrintable(where));
            // A hint is read out as the description.
            QVERIFY2(c->toolTip().isEmpty() || !a->text(QAccessible::Description).isEmpty(), qPrintable(where));
            QVERIFY2(seen.insert({int(a->role()), name}).second, qPrintable(where + QStringLiteral(" twice")));
        }
    }
}

void TstAccess::menusOpenByKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("menu");
    QTest::newRow("F10") << int(Qt::Key_F10) << int(Qt::NoModifier) << "N_file";
    QTest::newRow("Alt+Ф") << 0x0424 << int(Qt::AltModifier) << "N_file";
    QTest::newRow("Alt+Н") << 0x041D << int(Qt::AltModifier) << "N_nastroiki";
    QTest::newRow("Alt+П") << 0x041F << int(Qt::AltModifier) << "N_help";
    QTest::newRow("Alt+G, the same key in the Latin layout") << int(Qt::Key_G) << int(Qt::AltModifier) << "N_help";
}

void TstAccess::menusOpenByKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, menu);
    Rig r;
    // Cyrillic keys have no ASCII form for keyClick.
    const QString text = key < 0x10000 && QChar(key).isLetter() ? QString(QChar(key)) : QString();
    QTest::sendKeyEvent(QTest::Click, r.w.get(), Qt::Key(key), text, Qt::KeyboardModifiers(modifiers));
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QCOMPARE(QApplication::activePopupWidget()->objectName(), menu);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
}

void TstAccess::fieldReadsByKeysAndActions() {
    Rig r;
    auto* field = r.find<QLineEdit>("LEizmproc");
    const auto click = r.requestsOf([&] { QTest::mouseClick(field, Qt::LeftButton); });
    const auto dbl = r.requestsOf([&] {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::mouseDClick(field, Qt::LeftButton);
    });
    QVERIFY(!click.empty());
    QVERIFY(dbl.size() > click.size());
    field->setFocus();
    QCOMPARE(r.requestsOf([&] { QTest::keyClick(field, Qt::Key_Return); }), click);
    QCOMPARE(r.requestsOf([&] { QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier); }), dbl);
    QCOMPARE(r.requestsOf([&] { actionsOf(field)->doAction(lork::widgets::readAction()); }), click);
    QCOMPARE(r.requestsOf([&] { actionsOf(field)->doAction(lork::widgets::readAllAction()); }), dbl);
}

void TstAccess::puskByItsAction() {
    Rig r;
    r.find<QRadioButton>("RGtyp_opros_0")->click();
    QToolButton* pusk = r.w->toolButton(1);
    QAccessibleActionInterface* a = actionsOf(pusk);
    QVERIFY(a->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    a->doAction(QAccessibleActionInterface::toggleAction());
    // The bus's caller is answered before the command runs.
    QCOMPARE(pusk->text(), QStringLiteral("пуск"));
    QTRY_COMPARE(pusk->text(), QStringLiteral("стоп"));
    QVERIFY(r.w->pollTimer()->isActive());
    a->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_COMPARE(pusk->text(), QStringLiteral("пуск"));
    QVERIFY(!r.w->pollTimer()->isActive());
}

void TstAccess::comboBoxByItsValue() {
    Rig r;
    auto* box = r.find<QComboBox>("CBust_res");
    QSignalSpy chosen(box, &QComboBox::activated);
    QAccessibleValueInterface* v = QAccessible::queryAccessibleInterface(box)->valueInterface();
    QVERIFY(v);
    const int target = box->currentIndex() == 2 ? 3 : 2;
    v->setCurrentValue(target);
    QTRY_COMPARE(box->currentIndex(), target);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.at(0).at(0).toInt(), target);
    v->setCurrentValue(box->count());  // no such item: nothing changes
    QCoreApplication::processEvents();
    QCOMPARE(chosen.size(), 1);
}

void TstAccess::menuItemAnswersBeforeItRuns() {
    Rig r;
    QAccessibleInterface* help = QAccessible::queryAccessibleInterface(r.find<QMenu>("N_help"));
    QAccessibleInterface* about = nullptr;
    for (int i = 0; i < help->childCount(); ++i)
        if (help->child(i)->text(QAccessible::Name) == QStringLiteral("о программе")) about = help->child(i);
    QVERIFY(about && about->actionInterface());
    QSignalSpy ran(r.find<QAction>("N_about"), &QAction::triggered);
    about->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(ran.size(), 0);  // the bus's caller is answered before the command runs
    QTimer::singleShot(300, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    QTRY_COMPARE(ran.size(), 1);
}

// A screen reader names the container of what it enters: a page, by its tab,
// never the tab widget's unnamed stack ("layered pane").
void TstAccess::pagesHeardByTheirTabs() {
    Rig r;
    auto* tabs = r.find<QTabWidget>("PageControl1");
    QVERIFY(tabs->count() >= 3);
    for (int i = 0; i < tabs->count(); ++i) {
        QAccessibleInterface* page = QAccessible::queryAccessibleInterface(tabs->widget(i));
        QCOMPARE(page->role(), QAccessible::PropertyPage);
        QCOMPARE(page->text(QAccessible::Name), tabs->tabText(i).remove(QLatin1Char('&')));
        QVERIFY(page->parent()->role() != QAccessible::LayeredPane);
    }
}

QTEST_MAIN(TstAccess)
#include "tst_access.moc"
