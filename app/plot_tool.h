#pragma once
// The trend plot beside the main window: the measured resistance of every
// good measurement read, its window "график", its menu item and tool button.
#include <QObject>
#include <memory>

class FeedSubscription;
class PlotWindow;
class QAction;
class QMenu;
class QToolBar;
class QToolButton;
class TFglav;
namespace lork::trend {
class Trend;
}

class PlotTool : public QObject {
    Q_OBJECT
public:
    // Its item goes at the end of menu, its button at the end of bar.
    PlotTool(TFglav& window, QMenu* menu, QToolBar* bar);
    ~PlotTool() override;

    lork::trend::Trend& trend() { return *trend_; }
    PlotWindow* window() const { return window_.get(); }
    void showWindow();

private:
    // Gone in the reverse order: the subscription first, the trend last.
    TFglav& main_;
    std::unique_ptr<lork::trend::Trend> trend_;
    std::unique_ptr<PlotWindow> window_;
    std::unique_ptr<QAction> showItem_;
    std::unique_ptr<QToolButton> button_;
    std::unique_ptr<FeedSubscription> subscription_;
};
