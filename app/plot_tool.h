#pragma once
// The trend plot beside the main window: the measured resistance of every
// good measurement read, its window "график", its menu item and tool button.
#include <QObject>
#include <memory>

class FeedSubscription;
class PlotWindow;
class QAction;
class QToolButton;
class ToolHost;
namespace lork::trend {
class Trend;
}

class PlotTool : public QObject {
    Q_OBJECT
public:
    explicit PlotTool(ToolHost& host);
    ~PlotTool() override;

    lork::trend::Trend& trend() { return *trend_; }
    PlotWindow* window() const { return window_.get(); }
    void showWindow();

private:
    // Gone in the reverse order: the subscription first, the trend last.
    ToolHost& host_;
    std::unique_ptr<lork::trend::Trend> trend_;
    std::unique_ptr<PlotWindow> window_;
    std::unique_ptr<QAction> showItem_;
    std::unique_ptr<QToolButton> button_;
    std::unique_ptr<FeedSubscription> subscription_;
};
