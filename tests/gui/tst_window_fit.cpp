// The window on a 1024x768 screen, in Russian: it opens maximised, every
// tool button is reachable, the tools' windows open inside the screen, and
// Qt's own buttons speak Russian. With "-screen WxH@SCALE" the same on a
// scaled screen (1366x768 at 150 %, 1280x720 at 125 %): the window, its
// status bar and every command stay on it.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <cstdio>
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
    void windowAndItsCommandsStayOnTheScreen();
    void opensMaximisedUnlessTheOperatorChoseOtherwise();
    void hiddenToolButtonsAreInTheOverflowMenu();
    void toolWindowsOpenInsideTheScreen();
    void standardButtonsInRussian();
};

namespace {
QSize g_screen{1024, 768};  // the screen's pixels
double g_scale = 1;

QString where(const QWidget* w) {
    const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
    return QStringLiteral("%1 at %2,%3 %4x%5").arg(w->objectName()).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}
}  // namespace

void TestWindowFit::screenIsTheSmallOne() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const QSizeF logical = QSizeF(g_screen) / g_scale;
    QVERIFY(std::abs(s->geometry().width() - logical.width()) <= 1);
    QVERIFY(std::abs(s->geometry().height() - logical.height()) <= 1);
    QCOMPARE(s->devicePixelRatio(), g_scale);
}

// What a Windows operator keeps in sight: the window inside the screen less
// a taskbar, and in it the tool bar, the status bar and the exchange
// windows; the readings page's commands and the port controls at least
// within reach of their scroll areas.
void TestWindowFit::windowAndItsCommandsStayOnTheScreen() {
#ifdef Q_OS_WIN
    // wine's offscreen platform has no fonts of its own and measures text
    // far wider than any Windows; scripts/windows/test measures the window
    // on wine's real platform at 150 % instead.
    QSKIP("text is measured by the offscreen platform's stand-in font under wine");
#endif
    GuiRig rig;
    rig.w->fitToScreen();
    rig.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.w.get()));
    QTest::qWait(50);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // Windows' taskbar (40 px) and a title bar (32 px), which offscreen has not.
    const int taskbar_and_title = 72;
    const QSize least = rig.w->minimumSizeHint().expandedTo(rig.w->minimumSize());
    QVERIFY2(least.height() <= screen.height() - taskbar_and_title && least.width() <= screen.width(),
             qPrintable(QStringLiteral("the window needs at least %1x%2 on a screen of %3x%4")
                            .arg(least.width()).arg(least.height()).arg(screen.width()).arg(screen.height())));
    const QRect frame = rig.w->frameGeometry();
    // A pixel over at 125 %: the scaled geometry's rounding.
    QVERIFY2(screen.adjusted(-1, -1, 1, 1).contains(frame), qPrintable(QStringLiteral("window %1,%2 %3x%4 on %5x%6")
                                                   .arg(frame.x()).arg(frame.y()).arg(frame.width())
                                                   .arg(frame.height()).arg(screen.width()).arg(screen.height())));
    const QRect inside(rig.w->mapToGlobal(QPoint(0, 0)), rig.w->size());
    // In sight as they are; a command of a page or of the port column in
    // sight once its scroll area is scrolled to it.
    for (const char* name : {"StatusBar1", "LBtuda", "LBsuda", "ListBox1", "ToolBar1", "PageControl1", "Bzapros",
                             "RGtyp_opros", "TrackBar_light", "CBports", "CBtime_opros"}) {
        auto* c = rig.w->findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(c && c->isVisible(), name);
        for (QWidget* p = c->parentWidget(); p; p = p->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(p)) scroll->ensureWidgetVisible(c, 0, 0);
        QApplication::processEvents();
        QVERIFY2(inside.contains(QRect(c->mapToGlobal(QPoint(0, 0)), c->size())), qPrintable(where(c)));
        QVERIFY2(c->visibleRegion().boundingRect().size() == c->size(), qPrintable(where(c)));
    }
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
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "-platform" && i + 1 < argc) {
            ++i;
            continue;
        }
        int w = 0, h = 0;
        double scale = 0;
        if (std::string(argv[i]) == "-screen" && i + 1 < argc &&
            std::sscanf(argv[i + 1], "%dx%d@%lf", &w, &h, &scale) == 3 && w > 0 && h > 0 && scale >= 1) {
            g_screen = QSize(w, h);
            g_scale = scale;
            ++i;
            continue;
        }
        args.push_back(argv[i]);
    }
    const std::string config =
        QStringLiteral("lork-screen-%1.json").arg(QCoreApplication::applicationPid()).toStdString();
    // The screen as Windows' platform gives it at 125 and 150 %: a logical DPI
    // of 120 or 144 against 96, from which Qt scales.
    std::ofstream(config) << "{\"screens\": [{\"name\": \"small\", \"x\": 0, \"y\": 0, \"width\": "
                          << g_screen.width() << ", \"height\": " << g_screen.height()
                          << ", \"logicalDpi\": " << 96 * g_scale << ", \"logicalBaseDpi\": 96, \"dpr\": 1}]}";
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QByteArray::fromStdString(config));
    int n = int(args.size());
    QApplication app(n, args.data());
    std::remove(config.c_str());
    if (!loadQtRussian(app)) qWarning("qtbase_ru.qm not found: the Russian buttons will fail");
    TestWindowFit t;
    return QTest::qExec(&t, n, args.data());
}

#include "tst_window_fit.moc"
