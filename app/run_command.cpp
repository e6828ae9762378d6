#include "app/run_command.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "app/tfglav.h"

namespace {

QAction* menuItem(TFglav& w, const QString& name) {
    auto* item = w.findChild<QAction*>(QStringLiteral("N_") + name);
    if (!item) {
        std::fprintf(stderr, "no menu command %s\n", name.toUtf8().constData());
        QCoreApplication::exit(2);
    }
    return item;
}

}  // namespace

void scheduleMenuCommand(TFglav& w, const QString& name) {
    w.setMessageFunction([](const QString& text) {
        std::printf("message: %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    // After the start-up events (first activation included) have run.
    QTimer::singleShot(0, &w, [&w, name] {
        QAction* item = menuItem(w, name);
        if (!item) return;
        item->trigger();
        for (const QString& line : w.infoLines()) std::printf("%s\n", line.toUtf8().constData());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
}

void startMenuCommand(TFglav& w, const QString& name) {
    // Late enough for the window system's first activation to have run.
    // Several, comma-separated, run in order ("RGtyp_opros_0,ToolButton1": polling).
    QTimer::singleShot(1000, &w, [&w, name] {
        for (const QString& one : name.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            // A page's button by its own name, else a menu item.
            if (auto* button = w.findChild<QAbstractButton*>(one)) button->click();
            else if (QAction* item = menuItem(w, one)) item->trigger();
            else return;
        }
    });
}
