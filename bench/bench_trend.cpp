// The trend plot's cost: per reading taken (decode, store, the window told),
// the view's rebuild and repaint for each span after a week of polling at
// one reading a second, and the points' memory.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <malloc.h>

#include "app/plot_window.h"
#include "widgets/trend_chart.h"

namespace {
// Small blocks and the large ones malloc maps on their own.
size_t heapBytes() {
    const auto m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A readings query's measurement block holding these values.
lork::ExchangeRecord Block(float proc, float te) {
    lork::ExchangeRecord r;
    r.request = {0x05, 0x04, 0x00, 0x10, 0x00, 0x0D, 0x31, 0x8E};
    r.reply = {0x05, 0x04, 0x1A, 0x00, 0x1B};
    for (float v : {proc, te}) {
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        r.reply.insert(r.reply.end(), b, b + 4);
    }
    r.reply.resize(31, 0);
    return r;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 7 * 86400;  // a week at 1 s
    const int64_t t0 = 1780000000000;

    {
        const size_t before = heapBytes();
        auto* full = new lork::trend::Trend;
        for (int i = 0; i < n; ++i) full->add({t0 + int64_t(i) * 1000, float(i % 100), float(i % 1000)});
        std::printf("points kept: %zu of %d; heap: %.1f MB\n", full->size(), n, double(heapBytes() - before) / 1e6);
        delete full;
    }

    lork::trend::Trend trend;
    int64_t now = t0;
    PlotWindow window(trend, [&now] { return now; });
    window.resize(900, 520);
    window.show();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        now = t0 + int64_t(i) * 1000;
        const float proc = 30.f + 20.f * float(std::sin(i / 600.0));
        if (const auto p = lork::trend::readingOf(Block(proc, proc * 10.f), now)) {
            trend.add(*p);
            window.appended();
        }
    }
    std::printf("%d readings (decode + store + window told): %.3f us each\n", n,
                double(t.nsecsElapsed()) / 1000.0 / n);

    // Painted into an image: an offscreen window's repaint() may draw nothing.
    QImage canvas(window.size(), QImage::Format_ARGB32_Premultiplied);
    auto* span = window.findChild<QComboBox*>(QStringLiteral("CBspan"));
    for (int i = 0; i < span->count(); ++i) {
        span->setCurrentIndex(i);
        const int rounds = 20;
        t.restart();
        for (int k = 0; k < rounds; ++k) {
            window.refresh();
            window.render(&canvas);
        }
        std::printf("view \"%s\": %lld points, rebuild + repaint %.2f ms\n", qPrintable(span->itemText(i)),
                    qlonglong(window.chart()->procPoints().size()), double(t.nsecsElapsed()) / 1e6 / rounds);
    }
    return 0;
}
