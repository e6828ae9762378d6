// What makes the window easy to live with and changes nothing it shows: a
// layout that stays put, lines that can be copied, keys, a remembered place.
#include <QAbstractItemView>
#include <QBoxLayout>
#include <array>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>
#include <QSizePolicy>

#include "widgets/accessible.h"
#include "widgets/copy_lines.h"
#include "app/beside_window.h"
#include "app/journal_window.h"
#include "app/tool_button.h"
#include "app/tfglav_parts.h"
#include "widgets/exchange_line.h"
#include "pages/calibration.h"
#include "ui_tfglav.h"

namespace {

// The information window comes and goes with every polling tick; the space
// it leaves stays reserved so that nothing else moves.
void keepSpaceWhenHidden(QWidget* w) {
    QSizePolicy sp = w->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    w->setSizePolicy(sp);
}

// Showing a widget lays out again every window it sits in, and hiding it
// asks for the same; the information window comes and goes with every
// polling tick. It sits in a holder of its own, without a layout, that takes
// its place in the window's layout (its size hints and policy) and never
// hides, so the space stays reserved and no layout is redone.
class InfoHolder : public QWidget {
public:
    explicit InfoHolder(QWidget* child) : child_(child) {
        setSizePolicy(child->sizePolicy());
        setMinimumSize(child->minimumSize());
        setMaximumSize(child->maximumSize());
        child->setParent(this);
    }
    QSize sizeHint() const override { return child_->sizeHint(); }
    QSize minimumSizeHint() const override { return child_->minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent*) override { child_->setGeometry(rect()); }

private:
    QWidget* child_;
};

void holdOwnPlace(QBoxLayout* layout, QWidget* w) {
    const int at = layout->indexOf(w);
    if (at < 0) return;
    const int stretch = layout->stretch(at);
    layout->removeWidget(w);
    const bool shown = !w->isHidden();
    auto* holder = new InfoHolder(w);
    holder->setObjectName(w->objectName() + QStringLiteral("Place"));
    layout->insertWidget(at, holder, stretch);
    w->setVisible(shown);
}

// A page wider or taller than a small screen scrolls instead of pushing the
// window past the screen's edge. The page's controls keep their parents'
// names below the sheet, only one scroll area comes between.
void scrollWhenCramped(QWidget* sheet) {
    QLayout* outer = sheet->layout();
    auto* inner = new QWidget;
    inner->setObjectName(sheet->objectName() + QStringLiteral("Inner"));
    auto* lay = new QVBoxLayout(inner);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(outer->spacing());
    while (QLayoutItem* it = outer->takeAt(0)) lay->addItem(it);
    for (int i = 0; i < lay->count(); ++i)
        if (QWidget* w = lay->itemAt(i)->widget()) w->setParent(inner);
    auto* scroll = new QScrollArea(sheet);
    scroll->setObjectName(sheet->objectName() + QStringLiteral("Scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(inner);
    outer->addWidget(scroll);
}

// The port column is taller than a laptop's screen leaves at 150 % (1366x768
// is 911x512 to the layout): it scrolls there, as the pages do, so that the
// window, its exchange windows and its status bar stay on the screen. Where
// there is room it takes its full height as before.
void scrollColumnWhenCramped(QBoxLayout* row, QFrame* column) {
    const int at = row->indexOf(column);
    if (at < 0) return;
    const int stretch = row->stretch(at);
    row->removeWidget(column);
    auto* scroll = new QScrollArea;
    scroll->setObjectName(column->objectName() + QStringLiteral("Scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(column);
    // When the scroll bar shows, the column grows by its width rather than
    // narrowing; without it the page keeps the width it always had.
    const auto widths = [scroll, column](int, int max) {
        const int bar = max > 0 ? scroll->verticalScrollBar()->sizeHint().width() : 0;
        scroll->setMinimumWidth(column->minimumWidth() + bar);
        scroll->setMaximumWidth(column->maximumWidth() + bar);
    };
    widths(0, 0);
    QObject::connect(scroll->verticalScrollBar(), &QScrollBar::rangeChanged, scroll, widths);
    scroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    row->insertWidget(at, scroll, stretch);
}

}  // namespace

void TFglav::setupComfort() {
    for (int i = 0; i < 4; ++i) scrollWhenCramped(tabSheet(i));
    scrollColumnWhenCramped(ui->middleRow, ui->LeftColumn);
    keepSpaceWhenHidden(ui->ListBox1);
    for (ExchangeLine* lb : {ui->LBtuda, ui->LBsuda}) lb->wrapWholeLines(2);
    // A maximised window gives its extra height to the page and, less, to
    // the information window; the exchange windows keep theirs.
    ui->ListBox1->setMinimumHeight(110);
    ui->ListBox1->setMaximumHeight(QWIDGETSIZE_MAX);
    holdOwnPlace(ui->bottomRow, ui->ListBox1);
    ui->mainLayout->setStretch(2, 4);
    ui->mainLayout->setStretch(3, 1);
    for (QListWidget* lb : {ui->LBtuda, ui->LBsuda}) lb->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (QListWidget* lb : std::initializer_list<QListWidget*>{ui->LBtuda, ui->LBsuda, ui->ListBox1}) new CopyLines(lb);

    // A field nobody types into is still a value to be read: Tab reaches
    // it, so that a screen reader's user hears it in its turn.

    // Ctrl+1..4: the pages, through the same handlers as their buttons.
    const std::array<void (TFglav::*)(), 4> pages{&TFglav::ToolButton10Click, &TFglav::ToolButton9Click,
                                                   &TFglav::ToolButton11Click, &TFglav::ToolButton7Click};
    for (int i = 0; i < 4; ++i) {
        auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), this);
        key->setObjectName(QStringLiteral("KeyPage%1").arg(i + 1));
        connect(key, &QShortcut::activated, this, pages[size_t(i)]);
    }
    // F5: the query, when its button is there to be pressed.
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    f5->setObjectName(QStringLiteral("KeyQuery"));
    connect(f5, &QShortcut::activated, this, [this] {
        auto* b = findChild<QPushButton*>(QStringLiteral("Bzapros"));
        if (b && b->isVisible() && b->isEnabled()) b->click();
    });

    addOverflowMenu(parts_->ToolBar1);

    // The first showing puts the focus on the query.
    if (auto* b = findChild<QPushButton*>(QStringLiteral("Bzapros"))) b->setFocus(Qt::OtherFocusReason);
}

void TFglav::usePlaceFile(const QString& path) {
    parts_->placeFile = path;
    parts_->calibration->setOwnSettingsFile(path);
    QSettings place(path, QSettings::IniFormat);
    const QByteArray geometry = place.value(QStringLiteral("window/geometry")).toByteArray();
    parts_->placeRestored = !geometry.isEmpty() && restoreGeometry(geometry);
    const QByteArray journal = place.value(QStringLiteral("journal/geometry")).toByteArray();
    if (!journal.isEmpty()) parts_->journal->window()->restoreGeometry(journal);
    const QByteArray columns = place.value(QStringLiteral("journal/columns")).toByteArray();
    if (!columns.isEmpty()) parts_->journal->window()->restoreColumnState(columns);
    bool ok = false;
    const int page = place.value(QStringLiteral("window/page")).toInt(&ok);
    if (!ok) return;
    const std::array<void (TFglav::*)(), 4> show{&TFglav::ToolButton10Click, &TFglav::ToolButton9Click,
                                                  &TFglav::ToolButton11Click, &TFglav::ToolButton7Click};
    if (page >= 0 && page < 4) (this->*show[size_t(page)])();
}

void TFglav::fitToScreen() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    const QRect avail = screen->availableGeometry();
    // The operator's own choice, maximised or not, is kept; only a place
    // off this screen (another monitor, gone) comes back onto it.
    if (parts_->placeRestored) {
        if (!isMaximized() && !avail.intersects(geometry())) setGeometry(fitInside(geometry(), avail, frameOf(this)));
        return;
    }
    // A window that with its frame is larger than the screen would open cut
    // off, its title bar or its status bar out of reach: it opens maximised.
    const QSize need = size().grownBy(frameOf(this));
    if (need.width() > avail.width() || need.height() > avail.height()) {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    QRect r = geometry();
    r.moveCenter(avail.center());
    setGeometry(fitInside(r, avail, frameOf(this)));
}

void TFglav::savePlace() const {
    if (parts_->placeFile.isEmpty()) return;
    QSettings place(parts_->placeFile, QSettings::IniFormat);
    place.setValue(QStringLiteral("window/geometry"), saveGeometry());
    place.setValue(QStringLiteral("window/page"), ui->PageControl1->currentIndex());
    place.setValue(QStringLiteral("journal/geometry"), parts_->journal->window()->saveGeometry());
    place.setValue(QStringLiteral("journal/columns"), parts_->journal->window()->columnState());
}
