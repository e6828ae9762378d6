// The secondary windows and the page show/hide events of the main window.
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/tfabout.h"
#include "app/tfmsetup.h"
#include "app/tfmsg.h"
#include "gui_fixture.h"
#include "support/temp_dir.h"

using lork::test::GuiRig;

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void aboutBoxIsModalAndClosesWithOk();
    void messageWindow();
    void settingsHolderIsNeverShown();
    void pageEventsFollowTheVisiblePage();
};

void TestWindows::aboutBoxIsModalAndClosesWithOk() {
    GuiRig rig;
    TFabout about(rig.w.get());
    rig.w->setAboutBox(&about);
    QCOMPARE(about.windowTitle(), QStringLiteral("о программе"));
    QCOMPARE(about.findChild<QLabel*>("ProductName")->text(), QStringLiteral("Проверка связи прибора ЛОРК с ПК"));
    QCOMPARE(about.findChild<QLabel*>("Version")->text(), QStringLiteral("Версия V2.0.6.32"));
    QVERIFY(!about.findChild<QLabel*>("ProgramIcon")->pixmap().isNull());
    auto* ok = about.findChild<QPushButton*>("OKButton");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        wasModal = about.isModal() && about.isVisible();
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    rig.w->findChild<QAction*>("N_about")->trigger();  // returns once OK closed it
    QVERIFY(wasModal);
    QVERIFY(!about.isVisible());
}

void TestWindows::messageWindow() {
    GuiRig rig;
    TFmsg msg(rig.w.get());
    QCOMPARE(msg.windowTitle(), QString());
    QVERIFY(msg.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(msg.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(msg.windowFlags() & Qt::WindowMinMaxButtonsHint));
    QCOMPARE(msg.findChild<QLabel*>("Label1")->text(),
             QStringLiteral("Подождите ..... идет поиск приборов, отвечающих на наш запрос ......"));
    QCOMPARE(msg.findChild<QLabel*>("Label2")->text(), QStringLiteral("Чтобы оборвать поиск   Нажмите 'Q'  "));
    auto* cancel = msg.findChild<QPushButton*>("Bmsg_cancel");
    QCOMPARE(cancel->text(), QStringLiteral("отмена"));
    QVERIFY(!cancel->isEnabled());
    // Shown without blocking: the search goes on while it is up.
    msg.show();
    QVERIFY(msg.isVisible() && !msg.isModal());
    msg.Bmsg_cancelClick();
    QVERIFY(!msg.isVisible());
}

void TestWindows::settingsHolderIsNeverShown() {
    // The holder finds or creates its file in the configuration folder.
    lork::test::TempDir dir;
    lork::test::ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
    GuiRig rig({"COM1", "/dev/pts/3"}, "/dev/pts/3");
    rig.w->ls().port_name = "COM1";  // as a loaded file might say
    TFMsetup setup(*rig.w);
    QCOMPARE(setup.windowTitle(), QStringLiteral("для .INI"));
    QVERIFY(!setup.isVisible());
    QCOMPARE(rig.w->ls().port_name, std::string("/dev/pts/3"));  // the command line wins
}

void TestWindows::pageEventsFollowTheVisiblePage() {
    GuiRig rig;
    QStringList events;
    QObject::connect(rig.w.get(), &TFglav::pageShown, [&](int i) { events << QStringLiteral("show%1").arg(i); });
    QObject::connect(rig.w.get(), &TFglav::pageHidden, [&](int i) { events << QStringLiteral("hide%1").arg(i); });
    QVERIFY(events.isEmpty());  // nothing before the window is shown
    rig.w->show();
    QCOMPARE(events, QStringList({"show0"}));
    events.clear();
    rig.w->ToolButton9Click();
    QCOMPARE(events, QStringList({"hide0", "show1"}));  // the page left first
    events.clear();
    rig.w->ToolButton9Click();  // already there: nothing
    QVERIFY(events.isEmpty());
    rig.w->ToolButton7Click();
    QCOMPARE(events, QStringList({"hide1", "show3"}));
    events.clear();
    rig.w->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(0);  // by its tab
    QCOMPARE(events, QStringList({"hide3", "show0"}));
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
