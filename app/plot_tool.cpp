#include "app/plot_tool.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

#include "app/beside_window.h"
#include "app/plot_window.h"
#include "app/tool_host.h"
#include "device/device.h"
#include "app/tool_button.h"
#include "records/trend.h"

PlotTool::PlotTool(ToolHost& host)
    : host_(host),
      trend_(std::make_unique<lork::trend::Trend>()),
      window_(std::make_unique<PlotWindow>(*trend_, [&host] { return host.wallMs(); }, host.mainWindow())) {
    setObjectName(QStringLiteral("PlotTool"));
    markBeside(window_.get());

    showItem_.reset(host.toolMenu()->addAction(QStringLiteral("график")));
    showItem_->setObjectName(QStringLiteral("N_plot"));
    connect(showItem_.get(), &QAction::triggered, this, &PlotTool::showWindow);
    button_.reset(makeToolButton(host.toolBar(),
                                 {16, QStringLiteral("график"), QStringLiteral("сопротивление во времени"),
                                  QIcon(QStringLiteral(":/icons/plot.png"))},
                                 showItem_.get()));

    subscription_ = std::make_unique<FeedSubscription>(host_.core().feed, [this](const lork::ExchangeRecord& rec) {
        // Stamped with the request's time, as the journal's row is.
        if (const auto p = lork::trend::readingOf(rec, host_.requestWallMs(rec))) {
            trend_->add(*p);
            window_->appended();
        }
    });
}

PlotTool::~PlotTool() = default;

void PlotTool::showWindow() { showBeside(window_.get()); }
