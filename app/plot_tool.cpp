#include "app/plot_tool.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

#include "app/beside_window.h"
#include "app/plot_window.h"
#include "app/tfglav.h"
#include "app/tool_button.h"
#include "records/trend.h"

PlotTool::PlotTool(TFglav& window, QMenu* menu, QToolBar* bar)
    : main_(window),
      trend_(std::make_unique<lork::trend::Trend>()),
      window_(std::make_unique<PlotWindow>(*trend_, [&window] { return window.wallMs(); }, &window)) {
    setObjectName(QStringLiteral("PlotTool"));
    markBeside(window_.get());

    showItem_.reset(menu->addAction(QStringLiteral("график")));
    showItem_->setObjectName(QStringLiteral("N_plot"));
    connect(showItem_.get(), &QAction::triggered, this, &PlotTool::showWindow);
    button_.reset(makeToolButton(bar,
                                 {16, QStringLiteral("график"), QStringLiteral("сопротивление во времени"),
                                  QIcon(QStringLiteral(":/icons/plot.png"))},
                                 showItem_.get()));

    subscription_ = std::make_unique<FeedSubscription>(main_.core().feed, [this](const lork::ExchangeRecord& rec) {
        // Stamped with the request's time, as the journal's row is.
        if (const auto p = lork::trend::readingOf(rec, main_.requestWallMs(rec))) {
            trend_->add(*p);
            window_->appended();
        }
    });
}

PlotTool::~PlotTool() = default;

void PlotTool::showWindow() { showBeside(window_.get()); }
