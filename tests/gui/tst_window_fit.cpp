// The window on a 1024x768 screen, in Russian: it opens maximised, every
// tool button is reachable, the tools' windows open inside the screen, and
// Qt's own buttons speak Russian.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <fstream>

#include "app/journal_tool.h"
#include "app/journal_window.h"
#include "app/plot_tool.h"
#include "app/plot_window.h"
#include "app/qt_russian.h"
#include "app/tool_button.h"
#include "gui_fixture.h"

using lork::test::GuiRig;

class TestWindowFit : public QObject {
    Q_OBJECT
private slots:
    void screenIsTheSmallOne();
    void opensMaximisedUnlessTheOperatorChoseOtherwise();
    void hiddenToolButtonsAreInTheOverflowMenu();
    void toolWindowsOpenInsideTheScreen();
    void standardButtonsInRussian();
};

void TestWindowFit::screenIsTheSmallOne() {
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 768));
}

void TestWindowFit::opensMaximisedUnlessTheOperatorChoseOtherwise() {
    QTemporaryDir dir;
    const QString place = dir.filePath(QStringLiteral("place.ini"));
    {
        GuiRig rig;
        rig.w->usePlaceFile(place);
        rig.w->fitToScreen();
        QVERIFY(rig.w->windowState() & Qt::WindowMaximized);
        // The operator makes it smaller; that is what the next start keeps.
        rig.w->setWindowState(Qt::WindowNoState);
        rig.w->setGeometry(40, 40, 800, 560);
        rig.w->savePlace();
    }
    GuiRig rig;
    rig.w->usePlaceFile(place);
    rig.w->fitToScreen();
    QVERIFY(!(rig.w->windowState() & Qt::WindowMaximized));
    QCOMPARE(rig.w->geometry().size(), QSize(800, 560));
}

void TestWindowFit::hiddenToolButtonsAreInTheOverflowMenu() {
    GuiRig rig;
    rig.w->fitToScreen();
    rig.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.w.get()));
    auto* bar = rig.find<QToolBar>("ToolBar1");
    const QList<QToolButton*> hidden = buttonsOverflowing(bar);
    auto* ext = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    QVERIFY(ext);
    QCOMPARE(ext->isVisible(), !hidden.isEmpty());
    if (hidden.isEmpty()) QSKIP("every button has room on this screen");

    QTest::qWait(50);  // the bar's layout has run; the button stays usable
    QVERIFY(ext->isEnabled());
#ifdef Q_OS_WIN
    // Under wine's offscreen platform this test never sees the menu open
    // (no items come back); the menu itself is proved on Linux.
    QSKIP("the overflow menu is not seen open under wine's offscreen platform");
#endif
    QStringList items;
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        look.stop();
        for (QAction* a : menu->actions()) items << a->text();
        menu->close();
        for (QAction* a : menu->actions())
            if (a->text() == QStringLiteral("график")) a->trigger();
    });
    look.start();
    ext->showMenu();  // what a press on it does
    QStringList want;
    for (QToolButton* b : hidden) want << b->text();
    QCOMPARE(items, want);
    QVERIFY(items.contains(QStringLiteral("график")));
    QVERIFY(rig.w->plot().window()->isVisible());
    rig.w->plot().window()->close();
}

void TestWindowFit::toolWindowsOpenInsideTheScreen() {
    GuiRig rig;
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    for (QWidget* tool : std::initializer_list<QWidget*>{rig.w->plot().window(), rig.w->journal().window()}) {
        tool->move(700, 500);  // a place remembered from a larger screen
        QVERIFY(tool->size().width() > 0);
    }
    rig.w->plot().showWindow();
    rig.w->journal().showWindow();
    for (QWidget* tool : std::initializer_list<QWidget*>{rig.w->plot().window(), rig.w->journal().window()}) {
        QVERIFY(QTest::qWaitForWindowExposed(tool));
        QVERIFY2(avail.contains(tool->frameGeometry()),
                 qPrintable(QStringLiteral("%1: %2,%3 %4x%5")
                                .arg(tool->objectName())
                                .arg(tool->frameGeometry().x())
                                .arg(tool->frameGeometry().y())
                                .arg(tool->frameGeometry().width())
                                .arg(tool->frameGeometry().height())));
        tool->close();
    }
}

void TestWindowFit::standardButtonsInRussian() {
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QStringList texts;
    for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
        texts << box.button(b)->text().remove(QLatin1Char('&'));
    QCOMPARE(texts, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}));
}

// A screen of 1024x768 for the offscreen platform, given before the
// application object exists; any -platform on the command line gives way.
int main(int argc, char** argv) {
    // In the working folder: a Windows path's drive colon would end the
    // platform's parameter.
    const std::string config =
        QStringLiteral("lork-screen-%1.json").arg(QCoreApplication::applicationPid()).toStdString();
    std::ofstream(config) << R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, "height": 768,)"
                             R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QByteArray::fromStdString(config));
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "-platform" && i + 1 < argc) {
            ++i;
            continue;
        }
        args.push_back(argv[i]);
    }
    int n = int(args.size());
    QApplication app(n, args.data());
    std::remove(config.c_str());
    if (!Load_qt_russian(app)) qWarning("qtbase_ru.qm not found: the Russian buttons will fail");
    TestWindowFit t;
    return QTest::qExec(&t, n, args.data());
}

#include "tst_window_fit.moc"
