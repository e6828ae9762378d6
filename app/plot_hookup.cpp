// The main window's part of the trend plot: the points taken from every
// exchange that carried the measured resistance, the window, its menu item
// and tool button.
#include <QAction>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "app/plot_window.h"
#include "app/tfglav.h"
#include "ui_tfglav.h"

void TFglav::buildPlot() {
    trend_ = std::make_unique<lork::trend::Trend>();
    Fplot = new PlotWindow(*trend_, [this] { return wallMs(); }, this);
    Fplot->setProperty(kBesideProperty, true);
    core_.feed.subscribe([this](const lork::ExchangeRecord& rec) { plotTake(rec); });

    // After the journal's items and button, which stay as they are.
    N_plot = ui->N_nastroiki->addAction(QStringLiteral("график"));
    N_plot->setObjectName(QStringLiteral("N_plot"));
    connect(N_plot, &QAction::triggered, this, [this] { N_plotClick(); });

    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(QStringLiteral("ToolButton16"));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setIconSize(QSize(32, 32));
    b->setMinimumWidth(64);
    b->setIcon(QIcon(QStringLiteral(":/icons/plot.png")));
    b->setText(QStringLiteral("график"));
    b->setToolTip(QStringLiteral("сопротивление во времени"));
    connect(b, &QToolButton::clicked, N_plot, &QAction::trigger);
    ToolBar1->addWidget(b);
    toolButtons[16] = b;
}

void TFglav::plotTake(const lork::ExchangeRecord& rec) {
    // The time of the request, as the journal's row has it.
    const int64_t wall = wallMs() - (clock_.nowUs() - rec.write_us) / 1000;
    if (const auto p = lork::trend::Reading_of(rec, wall)) {
        trend_->add(*p);
        Fplot->appended();
    }
}

void TFglav::N_plotClick() {
    Fplot->show();
    Fplot->raise();
    Fplot->activateWindow();
}
