// The trend plot in the window: its series follow the readings the page
// decodes from the simulator, and nothing else; pause, clear, export.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cmath>

#include "app/plot_tool.h"
#include "app/plot_window.h"
#include "widgets/trend_chart.h"
#include "gui_fixture.h"
#include "pages/readings.h"
#include "sim/instrument_model.h"
#include "support/sim_attach.h"

using namespace lork;

namespace {
struct Rig {
    Rig() {
        test::attachToFakePort(g.port, model);
        g.w->core().link.Port_setup(g.w->ls().scor_code);
        g.w->st().found_scor[5] = 2;  // 9600, as the search leaves it
        g.w->plot().trend().clear();
        g.w->show();
        plot()->show();
    }
    PlotWindow* plot() { return g.w->plot().window(); }
    // The plot's own control (the journal has controls of the same names).
    template <class T>
    T* control(const char* name) {
        return plot()->findChild<T*>(QLatin1String(name));
    }
    // The resistance changes, time goes on, and the page reads again.
    void after(int seconds, double ohm) {
        g.now = g.now.addSecs(seconds);
        model.setResistance(ohm);
    }
    test::GuiRig g;
    sim::InstrumentModel model;
};

QList<double> Values(const std::vector<trend::XY>& s) {
    QList<double> v;
    for (const trend::XY& p : s) v << p.v;
    return v;
}
}  // namespace

class TstPlot : public QObject {
    Q_OBJECT
private slots:
    void seriesHoldTheDecodedReadings();
    void pauseFreezesTheViewAndClearEmptiesIt();
    void exportWritesThePointsOrTellsWhyNot();
    void buttonOpensThePlot();
    void valueAxesEndOnRoundTicksAroundTheValues();
    void wholeRunTicksFallOnRoundLocalTimes();
    void eachLineIsDrawnInItsColour();
    void pollingGoesOnWhileThePlotIsWatched();
};

void TstPlot::pollingGoesOnWhileThePlotIsWatched() {
    Rig r;
    QApplication::setActiveWindow(r.g.w.get());
    r.g.find<QAbstractButton>("RGtyp_opros_0")->click();
    r.g.w->toolButton(1)->click();
    QVERIFY(r.g.w->pollTimer()->isActive());
    const size_t written = r.g.port.writes.size();
    QApplication::setActiveWindow(r.plot());
    QVERIFY(r.g.w->pollTimer()->isActive());
    QApplication::setActiveWindow(r.g.w.get());
    QCOMPARE(r.g.port.writes.size(), written);  // coming back probes nothing
    QVERIFY(r.g.w->pollTimer()->isActive());
}

void TstPlot::seriesHoldTheDecodedReadings() {
    Rig r;
    QList<double> proc, te;
    auto decoded = [&] {
        proc << double(r.g.w->st().dev.izm_proc);
        te << double(r.g.w->st().dev.izm_znach);
    };
    r.after(0, 255);
    r.g.w->readings().BzaprosClick();
    decoded();
    r.after(2, 310);
    r.g.w->readings().Timer_oprosTimer();
    decoded();
    r.after(2, 420);
    r.g.w->readings().Timer_oprosTimer();
    decoded();
    QCOMPARE(proc, QList<double>({25.5, 31.0, 42.0}));  // the simulator's ohms / 10

    // A tick nobody answers and a query whose every reply is corrupt add nothing.
    r.after(2, 600);
    r.model.setFault(sim::Fault::Silent, 1);
    r.g.w->readings().Timer_oprosTimer();
    r.model.setFault(sim::Fault::BadCrc);
    r.g.w->readings().BzaprosClick();
    r.model.setFault(sim::Fault::None, 0);

    // A single-field read carries one of the two values.
    r.after(2, 500);
    r.g.w->readings().LEizmprocClick();
    proc << double(r.g.w->st().dev.izm_proc);

    r.plot()->refresh();
    QCOMPARE(Values(r.plot()->chart()->procPoints()), proc);
    QCOMPARE(Values(r.plot()->chart()->tePoints()), te);
    QCOMPARE(te.back(), 420.0);
    // In time order, each at its read's time, within the span shown.
    const auto pts = r.plot()->chart()->procPoints();
    for (size_t i = 1; i < pts.size(); ++i) QVERIFY(pts[i - 1].t < pts[i].t);
    QVERIFY(r.plot()->chart()->timeTo() >= pts.back().t);
    QVERIFY(r.plot()->chart()->timeFrom() <= pts.front().t);
    // The last five minutes: a tick each whole minute, from one end to the other.
    const std::vector<int64_t> ticks = r.plot()->chart()->timeTicks();
    QCOMPARE(ticks.size(), size_t(6));
    QCOMPARE(ticks.front(), r.plot()->chart()->timeFrom());
    QCOMPARE(ticks.back(), r.plot()->chart()->timeTo());
    for (int64_t t : ticks) QCOMPARE(t % 60000, 0);
}

void TstPlot::pauseFreezesTheViewAndClearEmptiesIt() {
    Rig r;
    r.g.w->readings().BzaprosClick();
    r.plot()->refresh();
    QCOMPARE(int(r.plot()->chart()->procPoints().size()), 1);

    auto* pause = r.control<QPushButton>("Bpause");
    pause->setChecked(true);
    r.after(2, 700);
    r.g.w->readings().Timer_oprosTimer();
    r.plot()->refresh();
    QCOMPARE(int(r.plot()->chart()->procPoints().size()), 1);  // the view stands
    QCOMPARE(r.g.w->plot().trend().total(), uint64_t(2));  // the points go on
    pause->setChecked(false);
    QCOMPARE(Values(r.plot()->chart()->procPoints()).back(), 70.0);

    // The whole run holds what the last minutes leave out.
    r.after(600, 800);
    r.g.w->readings().Timer_oprosTimer();
    r.plot()->refresh();
    QCOMPARE(int(r.plot()->chart()->procPoints().size()), 1);
    test::GuiRig::choose(r.control<QComboBox>("CBspan"), 4);
    QCOMPARE(int(r.plot()->chart()->procPoints().size()), 3);

    r.control<QPushButton>("Bclear")->click();
    QCOMPARE(int(r.plot()->chart()->procPoints().size()), 0);
    QCOMPARE(int(r.plot()->chart()->tePoints().size()), 0);
    QCOMPARE(r.g.w->plot().trend().total(), uint64_t(0));
}

void TstPlot::exportWritesThePointsOrTellsWhyNot() {
    Rig r;
    r.g.w->readings().BzaprosClick();
    r.after(2, 300);
    r.g.w->readings().Timer_oprosTimer();
    QTemporaryDir dir;
    const QString path = dir.filePath("plot.csv");
    QVERIFY(r.plot()->exportCsv(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QString("time,percent,te"));
    QVERIFY2(lines[2].endsWith(",30.000,300.000"), qPrintable(lines[2]));

    auto* state = r.control<QLabel>("Lstate");
    QVERIFY(!r.plot()->exportCsv("/nonexistent-dir/plot.csv"));
    QVERIFY2(state->text().contains("не удалось записать /nonexistent-dir/plot.csv"), qPrintable(state->text()));
}

void TstPlot::buttonOpensThePlot() {
    Rig r;
    r.plot()->hide();
    // Its place after the journal's is in the window's own tests.
    QToolButton* b = r.g.w->toolButton(16);
    QVERIFY(b && !b->icon().isNull());
    b->click();
    QVERIFY(r.plot()->isVisible());
    QCOMPARE(r.plot()->windowTitle(), QString("график"));
}

void TstPlot::valueAxesEndOnRoundTicksAroundTheValues() {
    struct Case {
        std::vector<double> v;
        double lo, hi, step;
    };
    const Case cases[] = {
        {{}, 0, 100, 20},               // nothing yet: a fixed frame
        {{15, 45, 30}, 10, 50, 10},     // a margin, then out to the next tick
        {{30}, 28, 32, 1},              // one value: a margin of its own
        {{-0.42, 0.13}, -0.6, 0.2, 0.2},
    };
    for (const Case& c : cases) {
        std::vector<trend::XY> xy;
        for (double v : c.v) xy.push_back({int64_t(xy.size()) * 1000, v});
        const TrendChart::Scale s = TrendChart::fit(xy);
        QCOMPARE(s.lo, c.lo);
        QCOMPARE(s.hi, c.hi);
        QCOMPARE(s.step, c.step);
    }
}

void TstPlot::wholeRunTicksFallOnRoundLocalTimes() {
    TrendChart c;
    const int64_t from = QDateTime(QDate(2026, 12, 8), QTime(6, 41, 13)).toMSecsSinceEpoch();
    c.setTimeRange(from, from + 7 * 3600000 + 5000);
    const std::vector<int64_t> ticks = c.timeTicks();
    QCOMPARE(ticks.size(), size_t(7));
    for (int64_t t : ticks) {
        QVERIFY(t >= c.timeFrom() && t <= c.timeTo());
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(t).time().minute(), 0);
    }
    QCOMPARE(QDateTime::fromMSecsSinceEpoch(ticks.front()).time(), QTime(7, 0));
}

void TstPlot::eachLineIsDrawnInItsColour() {
    TrendChart c;
    c.resize(600, 300);
    c.setTimeRange(0, 60000, 10000);
    auto pixels = [&c](const QColor& colour) {
        const QImage img = c.grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor p = img.pixelColor(x, y);
                n += std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                         std::abs(p.blue() - colour.blue()) <
                     60;
            }
        return n;
    };
    // The axes and their labels are in the same colours: the lines add to them.
    const int proc_axis = pixels(TrendChart::kProcColor), te_axis = pixels(TrendChart::kTeColor);
    std::vector<trend::XY> proc, te;
    for (int i = 0; i <= 60; ++i) {
        proc.push_back({i * 1000, 30 + 10 * std::sin(i / 10.0)});
        te.push_back({i * 1000, 10 * proc.back().v});
    }
    c.setSeries(proc, te);
    QVERIFY2(pixels(TrendChart::kProcColor) > proc_axis + 300, "no % line");
    QVERIFY2(pixels(TrendChart::kTeColor) > te_axis + 300, "no ТЕ line");
}

QTEST_MAIN(TstPlot)
#include "tst_plot.moc"
