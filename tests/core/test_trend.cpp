// The trend plot's points: what a read carries, the bound, the views, CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "records/trend.h"

using namespace lork;
using namespace lork::trend;

namespace {
// A good function-4 read of kol registers from start; registers 0x0011 and
// 0x0013 hold the floats as the instrument sends them (low byte first).
ExchangeRecord Read(uint16_t start, uint16_t kol, float proc, float te, uint8_t kod = 0) {
    ExchangeRecord r;
    r.request = {5, 4, uint8_t(start >> 8), uint8_t(start), uint8_t(kol >> 8), uint8_t(kol), 0, 0};
    r.reply = {5, 4, uint8_t(2 * kol)};
    for (unsigned reg = start; reg < unsigned(start + kol); ++reg) {
        uint8_t b[2] = {0x12, 0x34};
        for (auto [first, v] : {std::pair{0x0011u, proc}, std::pair{0x0013u, te}}) {
            uint8_t f[4];
            std::memcpy(f, &v, 4);
            if (reg == first || reg == first + 1) b[0] = f[2 * (reg - first)], b[1] = f[2 * (reg - first) + 1];
        }
        r.reply.insert(r.reply.end(), {b[0], b[1]});
    }
    r.reply.insert(r.reply.end(), {0, 0});
    r.kod_rez = kod;
    return r;
}
Point P(int64_t t, float proc, float te = NAN) {
    Point p;
    p.wallMs = t;
    p.proc = proc;
    p.te = te;
    return p;
}
}  // namespace

TEST(Trend, ReadingsTakenOnlyFromGoodReadsThatHoldTheWholeValue) {
    struct Case {
        const char* what;
        ExchangeRecord rec;
        bool proc, te;
    };
    ExchangeRecord probe = Read(0x0010, 13, 25.5f, 255.f);
    probe.probe = true;
    ExchangeRecord fn3 = Read(0x0010, 13, 25.5f, 255.f);
    fn3.request[1] = 3;
    ExchangeRecord cut = Read(0x0010, 13, 25.5f, 255.f);
    cut.reply.resize(10);
    const Case cases[] = {
        {"the measurement block", Read(0x0010, 13, 25.5f, 255.f), true, true},
        {"the % field", Read(0x0011, 2, 25.5f, 0), true, false},
        {"the ТЕ field", Read(0x0013, 2, 0, 255.f), false, true},
        {"half a value", Read(0x0012, 2, 25.5f, 255.f), false, false},
        {"a failed read", Read(0x0010, 13, 25.5f, 255.f, 6), false, false},
        {"not a number", Read(0x0010, 13, NAN, INFINITY), false, false},
        {"a probe", probe, false, false},
        {"function 3", fn3, false, false},
        {"a short reply", cut, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto p = readingOf(c.rec, 77);
        ASSERT_EQ(p.has_value(), c.proc || c.te);
        if (!p) continue;
        EXPECT_EQ(p->wallMs, 77);
        EXPECT_EQ(std::isnan(p->proc), !c.proc);
        EXPECT_EQ(std::isnan(p->te), !c.te);
        if (c.proc) {
            EXPECT_EQ(p->proc, 25.5f);
        }
        if (c.te) {
            EXPECT_EQ(p->te, 255.f);
        }
    }
}

TEST(Trend, RingKeepsTheNewestAndTheEnvelopeTheWholeRun) {
    Trend t(10, 4);  // ten points, at most eight buckets
    for (int i = 0; i < 1000; ++i) t.add(P(i * 1000, i == 500 ? 99.f : float(i % 7), 1.f));
    EXPECT_EQ(t.size(), 10u);
    EXPECT_EQ(t.total(), 1000u);
    EXPECT_EQ(t.at(0).wallMs, 990000);
    EXPECT_EQ(t.at(9).wallMs, 999000);

    // The whole run stays small yet spans the run and keeps the spike and the lowest value.
    const View w = t.wholeRun();
    ASSERT_LE(w.proc.size(), 18u);
    EXPECT_EQ(w.proc.front().t, 0);
    EXPECT_EQ(w.proc.back().t, 999000);
    double lo = 1e9, hi = -1e9;
    for (size_t i = 0; i < w.proc.size(); ++i) {
        lo = std::min(lo, w.proc[i].v), hi = std::max(hi, w.proc[i].v);
        if (i) {
            EXPECT_LE(w.proc[i - 1].t, w.proc[i].t);
        }
    }
    EXPECT_EQ(hi, 99.0);
    EXPECT_EQ(lo, 0.0);

    t.clear();
    EXPECT_EQ(t.size(), 0u);
    EXPECT_TRUE(t.wholeRun().proc.empty());
}

TEST(Trend, SpanTakesTheLastMinutesAndStaysSmall) {
    Trend t;
    for (int i = 0; i <= 600; ++i) t.add(P(i * 1000, float(i), i % 2 ? NAN : float(i)));
    const View v = t.span(600000, 60000);
    ASSERT_EQ(v.proc.size(), 61u);
    EXPECT_EQ(v.proc.front().t, 540000);
    EXPECT_EQ(v.te.size(), 31u);  // only the reads that carried ТЕ

    Trend many;
    for (int i = 0; i < 20000; ++i) many.add(P(i, i == 12345 ? -5.f : 1.f));
    const View d = many.span(20000, 60000);
    EXPECT_LE(d.proc.size(), Trend::kViewPoints);
    EXPECT_TRUE(std::any_of(d.proc.begin(), d.proc.end(), [](const XY& p) { return p.v == -5.0; }));
}

TEST(Trend, CsvHasAHeaderIsoTimesAndEmptyFieldsForValuesNotRead) {
    setenv("TZ", "UTC", 1);
    tzset();
    Trend t;
    t.add(P(1773039904123, 25.5f, 255.f));
    t.add(P(1773039905000, 26.25f));
    EXPECT_EQ(t.csv(),
              "time,percent,te\n"
              "2026-03-09T07:05:04.123+00:00,25.500,255.000\n"
              "2026-03-09T07:05:05.000+00:00,26.250,\n");
}
