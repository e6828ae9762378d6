#pragma once
// The trend plot's drawing: the resistance in % on the left axis and in ТЕ
// on the right, over a time axis, with a grid and a legend. Drawn with
// QPainter alone; it holds what it draws so that tests read that instead of
// pixels.
#include <QWidget>
#include <QRectF>
#include <cstdint>
#include <vector>

#include "records/trend.h"

class QPainter;

class TrendChart : public QWidget {
    Q_OBJECT
public:
    // A value axis: its ends and its ticks, lo and hi among them.
    struct Scale {
        double lo = 0, hi = 100, step = 20;
    };

    explicit TrendChart(QWidget* parent = nullptr);

    void setSeries(std::vector<lork::trend::XY> proc, std::vector<lork::trend::XY> te);
    // The time axis from..to (ms since 1970 UTC); stepMs between its ticks,
    // 0: a round step chosen for the length.
    void setTimeRange(int64_t fromMs, int64_t toMs, int64_t stepMs = 0);

    const std::vector<lork::trend::XY>& procPoints() const { return proc_; }
    const std::vector<lork::trend::XY>& tePoints() const { return te_; }
    const Scale& procScale() const { return procScale_; }
    const Scale& teScale() const { return teScale_; }
    int64_t timeFrom() const { return fromMs_; }
    int64_t timeTo() const { return toMs_; }
    std::vector<int64_t> timeTicks() const;

    // Round ends and step around the values, with a little margin; 0..100 for none.
    static Scale fit(const std::vector<lork::trend::XY>& xy);
    // A round step between ticks for a time axis this long, ms.
    static int64_t timeStep(int64_t lenMs);

    static const QColor kProcColor;
    static const QColor kTeColor;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    // Where the parts go in this paint: the card, the plot area inside the
    // axes, the ticks of the three axes.
    struct Frame;
    QString timeText(int64_t t) const;
    bool layOut(const QRectF& card, Frame& f) const;
    void drawGrid(QPainter& p, const Frame& f) const;
    void drawTimeAxis(QPainter& p, const Frame& f) const;
    void drawValueAxis(QPainter& p, const Frame& f, const Scale& s, const std::vector<double>& ticks,
                       const QColor& c, bool onLeft, const QString& title) const;
    void drawCurves(QPainter& p, const Frame& f) const;
    void drawLegend(QPainter& p, const Frame& f) const;

    std::vector<lork::trend::XY> proc_, te_;
    Scale procScale_, teScale_;
    int64_t fromMs_ = 0, toMs_ = 60000, stepMs_ = 10000;
};
