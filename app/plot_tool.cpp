#include "app/plot_tool.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

#include "app/activation_gate.h"
#include "app/plot_window.h"
#include "app/tfglav.h"
#include "app/tool_button.h"
#include "trend/trend.h"

PlotTool::PlotTool(TFglav& window, QMenu* menu, QToolBar* bar)
    : main_(window),
      trend_(std::make_unique<lork::trend::Trend>()),
      window_(new PlotWindow(*trend_, [&window] { return window.wallMs(); }, &window)) {
    setObjectName(QStringLiteral("PlotTool"));
    window_->setProperty(kBesideProperty, true);
    subscription_ = main_.core().feed.subscribe([this](const lork::ExchangeRecord& rec) {
        // Stamped with the request's time, as the journal's row is.
        if (const auto p = lork::trend::Reading_of(rec, main_.requestWallMs(rec))) {
            trend_->add(*p);
            window_->appended();
        }
    });

    showItem_ = menu->addAction(QStringLiteral("график"));
    showItem_->setObjectName(QStringLiteral("N_plot"));
    connect(showItem_, &QAction::triggered, this, &PlotTool::showWindow);

    button_ = makeToolButton(bar,
                             {16, QStringLiteral("график"), QStringLiteral("сопротивление во времени"),
                              QIcon(QStringLiteral(":/icons/plot.png"))},
                             showItem_);
}

PlotTool::~PlotTool() {
    main_.core().feed.unsubscribe(subscription_);
    delete button_;
    delete showItem_;
    delete window_;
}

void PlotTool::showWindow() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}
