#pragma once
// The window "график": the measured resistance in % (left axis) and in ТЕ
// (right axis) over time, the last minutes or the whole run; pause, clear
// and export of the points to CSV.
#include <QWidget>
#include <cstdint>
#include <functional>

#include "records/trend.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class TrendChart;

class PlotWindow : public QWidget {
    Q_OBJECT
public:
    // nowMs: the wall clock, ms since 1970 UTC (the main window's).
    PlotWindow(lork::trend::Trend& trend, std::function<int64_t()> nowMs, QWidget* parent = nullptr);

    // After the trend took a point: the view follows with the next batch.
    void appended() { dirty_ = true; }
    // The series and axes brought up to date now (nothing while paused).
    void refresh();
    // The kept points into a file; false, and told in the window, when it cannot be written.
    bool exportCsv(const QString& path);

    const TrendChart* chart() const { return CVplot; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void tick();
    void clearAll();
    // The span chosen in CBspan, ms; 0: the whole run.
    int64_t spanMs() const;
    // Between two ticks of the time axis of the span chosen, ms.
    int64_t stepMs() const;
    int64_t spanEnd(int64_t nowMs) const;
    void setSpanRange(int64_t nowMs);
    void updateCount();

    lork::trend::Trend& trend_;
    std::function<int64_t()> nowMs_;
    QComboBox* CBspan;
    QPushButton* Bpause;
    QLabel* Lpoints;
    QLabel* Lstate;
    TrendChart* CVplot;
    QTimer* refresh_;
    bool dirty_ = false;
    int idleTicks_ = 0;
};
