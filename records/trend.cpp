#include "records/trend.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "records/format.h"
#include "protocol/registers.h"

namespace lork::trend {

namespace {

// The instrument sends these floats least significant byte first: register
// reg holds the low half, reg + 1 the high half, each byte-swapped.
float floatAt(const std::vector<uint8_t>& reply, unsigned i) {
    auto swapped = [&](unsigned k) { return uint32_t(reply[4 + 2 * k] << 8 | reply[3 + 2 * k]); };
    const uint32_t bits = swapped(i + 1) << 16 | swapped(i);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool holds(unsigned start, unsigned kol, unsigned reg) { return reg >= start && reg + 2 <= start + kol; }

std::string number(float v) {
    if (std::isnan(v)) return {};
    char buf[48];
    const auto r = std::to_chars(buf, buf + sizeof buf, double(v), std::chars_format::fixed, 3);
    return std::string(buf, r.ptr);
}

}  // namespace

std::optional<Point> readingOf(const ExchangeRecord& rec, int64_t wallMs) {
    const auto& q = rec.request;
    // The overview's reads are of every instrument on the line; the plot is of the window's.
    if (rec.command == Command::Overview) return std::nullopt;
    if (rec.kod_rez != 0 || rec.probe || q.size() < 6 || q[1] != reg::ReadInputRegisters) return std::nullopt;
    const unsigned start = unsigned(q[2] << 8 | q[3]), kol = unsigned(q[4] << 8 | q[5]);
    // The check passed, so the reply holds every register asked for; the
    // size is checked again all the same, never trusted.
    if (rec.reply.size() < 3 + 2 * size_t(kol)) return std::nullopt;
    Point p;
    p.wallMs = wallMs;
    auto take = [&](unsigned reg, float& out) {
        if (!holds(start, kol, reg)) return;
        const float v = floatAt(rec.reply, reg - start);
        if (std::isfinite(v)) out = v;
    };
    take(reg::izm_proc, p.proc);
    take(reg::izm_znach, p.te);
    if (std::isnan(p.proc) && std::isnan(p.te)) return std::nullopt;
    return p;
}

std::vector<XY> decimate(const std::vector<XY>& in, size_t max) {
    if (in.size() <= max || max < 2) return in;
    const size_t slices = max / 2;
    std::vector<XY> out;
    out.reserve(slices * 2);
    for (size_t s = 0; s < slices; ++s) {
        const size_t a = in.size() * s / slices, b = in.size() * (s + 1) / slices;
        if (a == b) continue;
        const auto [lo, hi] = std::minmax_element(in.begin() + long(a), in.begin() + long(b),
                                                  [](const XY& x, const XY& y) { return x.v < y.v; });
        if (lo == hi) {
            out.push_back(*lo);
        } else if (lo < hi) {
            out.push_back(*lo);
            out.push_back(*hi);
        } else {
            out.push_back(*hi);
            out.push_back(*lo);
        }
    }
    return out;
}

void Trend::Extreme::take(int64_t t, float v) {
    if (std::isnan(v)) return;
    if (!any || v < lo) lo = v, tLo = t;
    if (!any || v > hi) hi = v, tHi = t;
    any = true;
}

void Trend::Extreme::take(const Extreme& e) {
    if (!e.any) return;
    take(e.tLo, e.lo);
    take(e.tHi, e.hi);
}

Trend::Trend(size_t capacity, size_t buckets) : ring_(std::max<size_t>(capacity, 1)), maxBuckets_(2 * std::max<size_t>(buckets, 1)) {
    buckets_.reserve(maxBuckets_ + 1);
}

void Trend::add(const Point& p) {
    ring_[(head_ + size_) % ring_.size()] = p;
    if (size_ < ring_.size())
        ++size_;
    else
        head_ = (head_ + 1) % ring_.size();
    if (total_++ == 0) first_ = p;

    if (buckets_.empty() || buckets_.back().n >= perBucket_) buckets_.emplace_back();
    Bucket& b = buckets_.back();
    ++b.n;
    b.proc.take(p.wallMs, p.proc);
    b.te.take(p.wallMs, p.te);
    if (buckets_.size() > maxBuckets_) {
        // Neighbours merge pairwise and each bucket covers twice as many points.
        size_t k = 0;
        for (size_t i = 0; i < buckets_.size(); i += 2, ++k) {
            Bucket m = buckets_[i];
            if (i + 1 < buckets_.size()) {
                m.n += buckets_[i + 1].n;
                m.proc.take(buckets_[i + 1].proc);
                m.te.take(buckets_[i + 1].te);
            }
            buckets_[k] = m;
        }
        buckets_.resize(k);
        perBucket_ *= 2;
    }
}

void Trend::clear() {
    head_ = size_ = 0;
    total_ = 0;
    buckets_.clear();
    perBucket_ = 1;
}

View Trend::span(int64_t nowMs, int64_t spanMs) const {
    // From the newest back to the first point before the span: a clock set
    // back leaves the older points out instead of making the scan long.
    const int64_t from = nowMs - spanMs;
    size_t first = size_;
    while (first > 0 && at(first - 1).wallMs >= from) --first;
    View v;
    for (size_t i = first; i < size_; ++i) {
        const Point& p = at(i);
        if (!std::isnan(p.proc)) v.proc.push_back({p.wallMs, p.proc});
        if (!std::isnan(p.te)) v.te.push_back({p.wallMs, p.te});
    }
    v.proc = decimate(v.proc, kViewPoints);
    v.te = decimate(v.te, kViewPoints);
    return v;
}

View Trend::wholeRun() const {
    View v;
    auto put = [](std::vector<XY>& out, const Extreme& e) {
        if (!e.any) return;
        if (e.tLo == e.tHi && e.lo == e.hi) {
            out.push_back({e.tLo, e.lo});
        } else if (e.tLo <= e.tHi) {
            out.push_back({e.tLo, e.lo});
            out.push_back({e.tHi, e.hi});
        } else {
            out.push_back({e.tHi, e.hi});
            out.push_back({e.tLo, e.lo});
        }
    };
    for (const Bucket& b : buckets_) {
        put(v.proc, b.proc);
        put(v.te, b.te);
    }
    // The run's first and newest readings bound it, whatever the extremes.
    auto bound = [](std::vector<XY>& out, int64_t t, float val, bool front) {
        if (std::isnan(val)) return;
        if (out.empty() || (front ? out.front().t > t : out.back().t < t))
            out.insert(front ? out.begin() : out.end(), XY{t, val});
    };
    if (total_) {
        bound(v.proc, first_.wallMs, first_.proc, true);
        bound(v.te, first_.wallMs, first_.te, true);
        const Point& last = at(size_ - 1);
        bound(v.proc, last.wallMs, last.proc, false);
        bound(v.te, last.wallMs, last.te, false);
    }
    return v;
}

std::string Trend::csv() const {
    std::string s = "time,percent,te\n";
    for (size_t i = 0; i < size_; ++i) {
        const Point& p = at(i);
        s += journal::isoText(p.wallMs) + ',' + number(p.proc) + ',' + number(p.te) + '\n';
    }
    return s;
}

}  // namespace lork::trend
