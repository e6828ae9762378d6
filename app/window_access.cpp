#include "app/window_access.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTabWidget>

#include "ui_tfglav.h"
#include "widgets/accessible.h"
#include "widgets/exchange_line.h"
#include "widgets/port_box.h"
#include "widgets/updown.h"

using lork::widgets::Name;
using lork::widgets::Name_after;

void nameWindowControls(Ui::Fglav& ui) {
    // The instrument's fields have hints but no captions.
    Name(ui.Ed_name, QStringLiteral("наименование прибора"));
    Name(ui.Ed_version, QStringLiteral("версия ПО и прибора"));
    Name(ui.Edit_cur_date, QStringLiteral("текущая дата"));
    Name(ui.Edit_cur_time, QStringLiteral("текущее время"));
    Name_after(ui.Lport, ui.CBports);
    Name_after(ui.Lscor, ui.CBscor);
    Name_after(ui.Lparity, ui.CBparity);
    Name_after(ui.Lstopbit, ui.CBstopbit);
    Name_after(ui.Lsysnum, ui.Esysnum);
    lork::widgets::Name_arrows(ui.UpDown_adr, ui.Esysnum->accessibleName());
    Name_after(ui.Label1, ui.CBtime_opros);
    for (QWidget* w : {static_cast<QWidget*>(ui.LBtuda), static_cast<QWidget*>(ui.LBsuda)})
        w->setAccessibleDescription(w->toolTip());
    Name_after(ui.Ltuda, ui.LBtuda);
    Name_after(ui.Lsuda, ui.LBsuda);
    Name(ui.PageControl1, QStringLiteral("страницы"));
    Name(ui.ListBox1, QStringLiteral("информационное окно"), QStringLiteral("сообщения о результатах обмена"));
}

void openMenusByKeys(QWidget* window, QMenuBar* bar) {
    const QList<QAction*> menus = bar->actions();
    if (menus.isEmpty()) return;
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
