#include "widgets/trend_chart.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

using lork::trend::XY;

const QColor TrendChart::kProcColor(0x1f, 0x6f, 0xc4);
const QColor TrendChart::kTeColor(0xe0, 0x76, 0x1c);

namespace {

// Fewer points than this are drawn with their markers too, so that a single
// reading (a query, a field read) is seen.
constexpr size_t kMarkedPoints = 40;

// 1, 2 or 5 times a power of ten, the first at least raw.
double niceStep(double raw) {
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * p >= raw * (1 - 1e-9)) return m * p;
    return 10 * p;
}

// Decimals that show every tick of this step exactly; one at least, as the
// axes always showed.
int decimalsFor(double step) {
    for (int d = 0; d < 6; ++d) {
        const double s = step * std::pow(10.0, d);
        if (std::abs(s - std::round(s)) < 1e-6 * std::max(1.0, s)) return std::max(d, 1);
    }
    return 6;
}

QString tickText(double v, double step) {
    if (std::abs(v) < step * 1e-6) v = 0;  // no "-0.0"
    return QString::number(v, 'f', decimalsFor(step));
}

std::vector<double> ticksOf(const TrendChart::Scale& s) {
    std::vector<double> out;
    const int n = int(std::lround((s.hi - s.lo) / s.step));
    for (int i = 0; i <= n; ++i) out.push_back(s.lo + s.step * i);
    return out;
}

QPen procPen() {
    QPen pen(TrendChart::kProcColor, 4);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}
QPen tePen() {
    return QPen(TrendChart::kTeColor, 2, Qt::DashLine);
}

}  // namespace

TrendChart::TrendChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CVplot"));
    setMinimumSize(320, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TrendChart::Scale TrendChart::fit(const std::vector<XY>& xy) {
    if (xy.empty()) return {};
    const auto [lo, hi] =
        std::minmax_element(xy.begin(), xy.end(), [](const XY& a, const XY& b) { return a.v < b.v; });
    const double a = lo->v, b = hi->v;
    const double pad = b > a ? (b - a) * 0.05 : std::max(1.0, std::abs(a) * 0.05);
    Scale s;
    s.step = niceStep((b - a + 2 * pad) / 5);
    s.lo = std::floor((a - pad) / s.step) * s.step;
    s.hi = std::ceil((b + pad) / s.step) * s.step;
    return s;
}

int64_t TrendChart::timeStep(int64_t lenMs) {
    static const int64_t kStepsSeconds[] = {1,    2,    5,    10,    15,    30,    60,     120,    300,    600,
                                       900,  1800, 3600, 7200,  10800, 21600, 43200,  86400,  172800, 604800};
    for (int64_t s : kStepsSeconds)
        if (lenMs / (s * 1000) <= 8) return s * 1000;
    return 2419200000;  // four weeks
}

void TrendChart::setSeries(std::vector<XY> proc, std::vector<XY> te) {
    proc_ = std::move(proc);
    te_ = std::move(te);
    procScale_ = fit(proc_);
    teScale_ = fit(te_);
    update();
}

void TrendChart::setTimeRange(int64_t fromMs, int64_t toMs, int64_t stepMs) {
    fromMs_ = fromMs;
    toMs_ = std::max(toMs, fromMs + 1);
    stepMs_ = stepMs > 0 ? stepMs : timeStep(toMs_ - fromMs_);
    update();
}

std::vector<int64_t> TrendChart::timeTicks() const {
    // On round local times: a step of hours or days counts from local midnight.
    const int64_t off = int64_t(QDateTime::fromMSecsSinceEpoch(fromMs_).offsetFromUtc()) * 1000;
    const int64_t local = fromMs_ + off;
    int64_t t = (local / stepMs_ + (local % stepMs_ > 0 ? 1 : 0)) * stepMs_ - off;
    std::vector<int64_t> out;
    for (; t <= toMs_; t += stepMs_) out.push_back(t);
    return out;
}

QString TrendChart::timeText(int64_t t) const {
    const int64_t len = toMs_ - fromMs_;
    const QString fmt = len > 86400000 ? QStringLiteral("dd.MM hh:mm")
                        : len > 3600000 ? QStringLiteral("hh:mm")
                                        : QStringLiteral("hh:mm:ss");
    return QDateTime::fromMSecsSinceEpoch(t).toString(fmt);
}

struct TrendChart::Frame {
    QRectF card, plot;
    int lh = 0;  // a line of text, px
    std::vector<double> procTicks, teTicks;
    std::vector<int64_t> timeTicks;
    int64_t from = 0;
    double spanT = 1;
    double x(int64_t t) const { return plot.left() + double(t - from) / spanT * plot.width(); }
    double y(const Scale& s, double v) const { return plot.bottom() - (v - s.lo) / (s.hi - s.lo) * plot.height(); }
};

bool TrendChart::layOut(const QRectF& card, Frame& f) const {
    const QFontMetrics fm = fontMetrics();
    f.card = card;
    f.procTicks = ticksOf(procScale_);
    f.teTicks = ticksOf(teScale_);
    auto widest = [&](const std::vector<double>& ticks, double step) {
        int w = 0;
        for (double v : ticks) w = std::max(w, fm.horizontalAdvance(tickText(v, step)));
        return w;
    };
    const int lh = f.lh = fm.height();
    const double left = card.left() + 8 + lh + 6 + widest(f.procTicks, procScale_.step) + 6;
    const double right = card.right() - 8 - lh - 6 - widest(f.teTicks, teScale_.step) - 6;
    const double top = card.top() + lh;
    const double bottom = card.bottom() - 8 - lh - 12 - lh - 8;
    f.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    f.timeTicks = timeTicks();
    f.from = fromMs_;
    f.spanT = double(toMs_ - fromMs_);
    return f.plot.width() >= 10 && f.plot.height() >= 10;
}

// The grid on the time ticks and the left axis's ticks.
void TrendChart::drawGrid(QPainter& p, const Frame& f) const {
    p.setPen(QPen(QColor(0xe2, 0xe2, 0xe2), 1));
    for (int64_t t : f.timeTicks) p.drawLine(QPointF(f.x(t), f.plot.top()), QPointF(f.x(t), f.plot.bottom()));
    for (double v : f.procTicks)
        p.drawLine(QPointF(f.plot.left(), f.y(procScale_, v)), QPointF(f.plot.right(), f.y(procScale_, v)));
}

void TrendChart::drawTimeAxis(QPainter& p, const Frame& f) const {
    const QFontMetrics fm = fontMetrics();
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    p.drawLine(f.plot.bottomLeft(), f.plot.bottomRight());
    for (int64_t t : f.timeTicks) {
        const double x = f.x(t);
        p.drawLine(QPointF(x, f.plot.bottom()), QPointF(x, f.plot.bottom() + 4));
        const QString s = timeText(t);
        const double w = fm.horizontalAdvance(s);
        p.drawText(QRectF(x - w / 2 - 2, f.plot.bottom() + 6, w + 4, f.lh), Qt::AlignCenter, s);
    }
}

// Each value axis in its series' colour, so that which line reads on which side is plain.
void TrendChart::drawValueAxis(QPainter& p, const Frame& f, const Scale& s, const std::vector<double>& ticks,
                               const QColor& c, bool onLeft, const QString& title) const {
    const QRectF& card = f.card;
    const int lh = f.lh;
    p.setPen(QPen(c, 1.5));
    const double x = onLeft ? f.plot.left() : f.plot.right();
    p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
    for (double v : ticks) {
        const double y = f.y(s, v);
        p.drawLine(QPointF(onLeft ? x - 4 : x, y), QPointF(onLeft ? x : x + 4, y));
        const QString text = tickText(v, s.step);
        const QRectF box = onLeft ? QRectF(card.left(), y - lh / 2.0, x - 6 - card.left(), lh)
                                  : QRectF(x + 6, y - lh / 2.0, card.right() - x - 6, lh);
        p.drawText(box, (onLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, text);
    }
    p.save();
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    const double tx = onLeft ? card.left() + 8 + lh / 2.0 : card.right() - 8 - lh / 2.0;
    p.translate(tx, f.plot.center().y());
    p.rotate(onLeft ? -90 : 90);
    p.drawText(QRectF(-60, -lh / 2.0, 120, lh), Qt::AlignCenter, title);
    p.restore();
}

// ТЕ is most often a fixed multiple of %, so that the two lines lie on each
// other: % broad beneath, ТЕ narrow and dashed above, both seen.
void TrendChart::drawCurves(QPainter& p, const Frame& f) const {
    p.save();
    p.setClipRect(f.plot.adjusted(-4, -4, 4, 4));
    auto series = [&](const std::vector<XY>& xy, const Scale& s, const QPen& pen, double marker) {
        if (xy.empty()) return;
        QPolygonF line;
        line.reserve(qsizetype(xy.size()));
        for (const XY& pt : xy) line << QPointF(f.x(pt.t), f.y(s, pt.v));
        p.setBrush(Qt::NoBrush);
        // In short pieces: a broad line over a dense envelope, stroked as one
        // path, folds on itself so often that filling it takes the painter
        // hundreds of milliseconds. Each piece's dashes go on where the last
        // piece's ended (the offset is in pen widths).
        constexpr qsizetype kPiece = 8;
        QPen piecePen = pen;
        double run = 0;
        for (qsizetype i = 0; i + 1 < line.size(); i += kPiece) {
            const qsizetype n = std::min(kPiece + 1, line.size() - i);
            piecePen.setDashOffset(run / pen.widthF());
            p.setPen(piecePen);
            p.drawPolyline(line.constData() + i, int(n));
            for (qsizetype k = i + 1; k < i + n; ++k) run += QLineF(line[k - 1], line[k]).length();
        }
        if (xy.size() < kMarkedPoints) {
            p.setPen(Qt::NoPen);
            p.setBrush(pen.color());
            for (const QPointF& c : line) p.drawEllipse(c, marker / 2, marker / 2);
        }
    };
    series(proc_, procScale_, procPen(), 7);
    series(te_, teScale_, tePen(), 4);
    p.restore();

    if (proc_.empty() && te_.empty()) {
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawText(f.plot, Qt::AlignCenter, QStringLiteral("нет точек"));
    }
}

// Under the time axis, centred.
void TrendChart::drawLegend(QPainter& p, const Frame& f) const {
    const QFontMetrics fm = fontMetrics();
    const QString names[] = {QStringLiteral("сопротивление, %"), QStringLiteral("сопротивление, ТЕ")};
    const QPen pens[] = {procPen(), tePen()};
    constexpr double kSample = 28, kGap = 6, kBetween = 24;
    double total = kBetween;
    for (const QString& n : names) total += kSample + kGap + fm.horizontalAdvance(n);
    total -= kBetween;
    double x = f.plot.center().x() - total / 2;
    const double y = f.plot.bottom() + 6 + f.lh + 12 + f.lh / 2.0;
    for (int i = 0; i < 2; ++i) {
        p.setPen(pens[i]);
        p.drawLine(QPointF(x + 3, y), QPointF(x + kSample - 3, y));
        x += kSample + kGap;
        p.setPen(QColor(0x30, 0x30, 0x30));
        const double w = fm.horizontalAdvance(names[i]);
        p.drawText(QRectF(x, y - f.lh / 2.0, w + 2, f.lh), Qt::AlignLeft | Qt::AlignVCenter, names[i]);
        x += w + kBetween;
    }
}

void TrendChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(4, 4, -4, -4);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(card, 5, 5);

    Frame f;
    if (!layOut(card, f)) return;
    drawGrid(p, f);
    drawTimeAxis(p, f);
    drawValueAxis(p, f, procScale_, f.procTicks, kProcColor, true, QStringLiteral("%"));
    drawValueAxis(p, f, teScale_, f.teTicks, kTeColor, false, QStringLiteral("ТЕ"));
    drawCurves(p, f);
    drawLegend(p, f);
}
