#include "app/plot_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/trend_chart.h"
#include "pages/page_format.h"

namespace {

struct SpanItem {
    const char* text;
    int minutes;   // 0: the whole run
    int stepSeconds;    // between the time axis's ticks
};
const SpanItem kSpans[] = {
    {"1 мин", 1, 10}, {"5 мин", 5, 60}, {"15 мин", 15, 180}, {"60 мин", 60, 600}, {"всё время", 0, 0}};
constexpr int kDefaultSpan = 1;  // 5 min

}  // namespace

PlotWindow::PlotWindow(lork::trend::Trend& trend, std::function<int64_t()> nowMs, QWidget* parent)
    : QWidget(parent, Qt::Window), trend_(trend), nowMs_(std::move(nowMs)) {
    setObjectName(QStringLiteral("Fplot"));
    setWindowTitle(QStringLiteral("график"));
    resize(900, 520);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("показать:"), this));
    CBspan = new QComboBox(this);
    CBspan->setObjectName(QStringLiteral("CBspan"));
    for (const SpanItem& s : kSpans) CBspan->addItem(QString::fromUtf8(s.text));
    CBspan->setCurrentIndex(kDefaultSpan);
    top->addWidget(CBspan);
    auto button = [&](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QLatin1String(name));
        top->addWidget(b);
        return b;
    };
    Bpause = button("Bpause", "пауза");
    Bpause->setCheckable(true);
    QPushButton* Bclear = button("Bclear", "очистить");
    QPushButton* Bcsv = button("Bcsv", "в CSV...");
    top->addStretch(1);
    Lpoints = new QLabel(this);
    Lpoints->setObjectName(QStringLiteral("Lpoints"));
    top->addWidget(Lpoints);

    CVplot = new TrendChart(this);

    Lstate = new QLabel(this);
    Lstate->setObjectName(QStringLiteral("Lstate"));
    Lstate->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* col = new QVBoxLayout(this);
    col->addLayout(top);
    col->addWidget(CVplot, 1);
    col->addWidget(Lstate);

    connect(CBspan, &QComboBox::activated, this, [this] { refresh(); });
    connect(Bpause, &QPushButton::toggled, this, [this](bool on) {
        if (!on) refresh();
    });
    connect(Bclear, &QPushButton::clicked, this, &PlotWindow::clearAll);
    connect(Bcsv, &QPushButton::clicked, this, [this] {
        const QString f =
            QFileDialog::getSaveFileName(this, QStringLiteral("график"), lork::pages::saveStart(), QStringLiteral("CSV (*.csv)"));
        if (!f.isEmpty()) exportCsv(f);
    });
    // The view follows at most four times a second and never per reading,
    // so that polling pays nothing for a drawing.
    refresh_ = new QTimer(this);
    refresh_->setInterval(250);
    connect(refresh_, &QTimer::timeout, this, &PlotWindow::tick);
    refresh_->start();
    refresh();
}

int64_t PlotWindow::spanMs() const {
    const int i = std::clamp(CBspan->currentIndex(), 0, int(std::size(kSpans)) - 1);
    return int64_t(kSpans[i].minutes) * 60000;
}

void PlotWindow::tick() {
    if (!isVisible()) return;
    if (dirty_) {
        updateCount();
        if (!Bpause->isChecked()) refresh();
    } else if (spanMs() && !Bpause->isChecked() && ++idleTicks_ >= 4) {
        // Without new readings the last minutes still move on, once a second.
        idleTicks_ = 0;
        setSpanRange(nowMs_());
    }
}

void PlotWindow::refresh() {
    dirty_ = false;
    idleTicks_ = 0;
    updateCount();
    if (Bpause->isChecked()) return;
    const int64_t now = nowMs_(), span = spanMs();
    const lork::trend::View v = span ? trend_.span(spanEnd(now), span) : trend_.wholeRun();
    CVplot->setSeries(v.proc, v.te);
    if (span) {
        setSpanRange(now);
    } else {
        int64_t first = now - 60000, last = now;
        for (const auto* s : {&v.proc, &v.te})
            if (!s->empty()) first = std::min(first, s->front().t), last = std::max(last, s->back().t);
        CVplot->setTimeRange(first, last);
    }
}

int64_t PlotWindow::stepMs() const {
    return int64_t(kSpans[std::clamp(CBspan->currentIndex(), 0, int(std::size(kSpans)) - 1)].stepSeconds) * 1000;
}

// The axis ends at the next whole tick, so that the ticks fall on round times.
int64_t PlotWindow::spanEnd(int64_t nowMs) const {
    const int64_t step = stepMs();
    if (step <= 0) return nowMs;
    return (nowMs / step + (nowMs % step ? 1 : 0)) * step;
}

void PlotWindow::setSpanRange(int64_t nowMs) {
    const int64_t end = spanEnd(nowMs);
    CVplot->setTimeRange(end - spanMs(), end, stepMs());
}

void PlotWindow::updateCount() {
    QString t = QStringLiteral("точек: %1").arg(trend_.total());
    if (trend_.total() > trend_.size()) t += QStringLiteral(" (в памяти %1)").arg(trend_.size());
    Lpoints->setText(t);
}

void PlotWindow::clearAll() {
    trend_.clear();
    Lstate->clear();
    refresh();
}

bool PlotWindow::exportCsv(const QString& path) {
    const QString err = lork::pages::writeWholeFile(path, QByteArray::fromStdString(trend_.csv()));
    const bool ok = err.isEmpty();
    if (ok) {
        Lstate->setStyleSheet(QString());
        Lstate->setText(QStringLiteral("записано точек: %1 в %2").arg(trend_.size()).arg(path));
    } else {
        Lstate->setStyleSheet(QStringLiteral("color: #c00000"));
        Lstate->setText(QStringLiteral("не удалось записать %1: %2").arg(path, err));
    }
    return ok;
}

void PlotWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    refresh();
}
