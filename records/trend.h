#pragma once
// The measured resistance over time, as the trend plot shows it: the points
// taken from good measurement reads, kept in a bounded ring, with a coarse
// envelope of the whole run beside it, so that a week of polling neither
// grows memory without limit nor makes a view slower to build. Plain C++.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "protocol/exchange_record.h"

namespace lork::trend {

// One reading; a value the exchange did not carry is NaN.
struct Point {
    int64_t wallMs = 0;  // ms since 1970 UTC
    float proc = std::numeric_limits<float>::quiet_NaN();  // measured resistance, %
    float te = std::numeric_limits<float>::quiet_NaN();    // measured resistance, ТЕ
};

// The resistance a good function-4 read carried: % when its range holds both
// registers 0x0011..0x0012, ТЕ when it holds 0x0013..0x0014. Nothing for a
// failed exchange, a probe, another function, or a read that holds neither
// (or whose values are not finite numbers).
std::optional<Point> readingOf(const ExchangeRecord& rec, int64_t wallMs);

// A series to draw: time (ms since 1970) and value.
struct XY {
    int64_t t;
    double v;
};
struct View {
    std::vector<XY> proc, te;
};

// At most max points of in, in time order: beyond that the lowest and the
// highest value of each slice, so that a short spike stays visible.
std::vector<XY> decimate(const std::vector<XY>& in, size_t max);

class Trend {
public:
    static constexpr size_t kDefaultCapacity = 100000;
    // The whole-run envelope holds at most twice this many buckets.
    static constexpr size_t kDefaultBuckets = 500;
    // A view holds at most this many points per series.
    static constexpr size_t kViewPoints = 2000;

    explicit Trend(size_t capacity = kDefaultCapacity, size_t buckets = kDefaultBuckets);

    void add(const Point& p);
    void clear();

    // Points kept (the newest capacity() of them); i = 0 the oldest kept.
    size_t size() const { return size_; }
    size_t capacity() const { return ring_.size(); }
    const Point& at(size_t i) const { return ring_[(head_ + i) % ring_.size()]; }
    // Points taken since start or the last clear.
    uint64_t total() const { return total_; }

    // The kept points from nowMs - spanMs on.
    View span(int64_t nowMs, int64_t spanMs) const;
    // Every point since start or the last clear: exact while the run is
    // short, the envelope (lowest and highest of each bucket) after that.
    View wholeRun() const;

    // The kept points as CSV: a header, then one line each (ISO 8601 local
    // time, %, ТЕ; an empty field for a value the read did not carry).
    std::string csv() const;

private:
    struct Extreme {
        bool any = false;
        float lo = 0, hi = 0;
        int64_t tLo = 0, tHi = 0;
        void take(int64_t t, float v);
        void take(const Extreme& e);
    };
    struct Bucket {
        uint64_t n = 0;
        Extreme proc, te;
    };

    std::vector<Point> ring_;
    size_t head_ = 0, size_ = 0;
    uint64_t total_ = 0;
    Point first_;
    std::vector<Bucket> buckets_;
    size_t maxBuckets_;
    uint64_t perBucket_ = 1;
};

}  // namespace lork::trend
