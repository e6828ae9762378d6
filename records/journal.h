#pragma once
// The traffic journal's store: every exchange with its wall-clock time in a
// bounded ring, and the counts since start or the last reset. Plain C++, so
// it serves a window, a command-line tool or a test alike.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/exchange_record.h"

namespace lork::journal {

struct Entry {
    uint64_t seq = 0;       // 1, 2, ... for the program's run; never reused
    int64_t wallMs = 0;    // wall clock at the request, ms since 1970 UTC
    ExchangeRecord rec;
    bool answered() const { return rec.lastByteUs > rec.writeUs && !rec.reply.empty(); }
    // From the end of the write to the last byte, ms; negative: no reply.
    double responseMs() const { return answered() ? double(rec.lastByteUs - rec.writeUs) / 1000.0 : -1.0; }
};

// A fixed number of the latest entries; the oldest gives way to the newest.
class Ring {
public:
    static constexpr size_t kDefaultCapacity = 100000;
    explicit Ring(size_t capacity = kDefaultCapacity);

    const Entry& push(int64_t wallMs, const ExchangeRecord& rec);
    void clear();
    size_t size() const { return size_; }
    size_t capacity() const { return slots_.size(); }
    // i = 0 the oldest kept.
    const Entry& at(size_t i) const { return slots_[(head_ + i) % slots_.size()]; }
    // The entry with a sequence number, or null when it is gone or unknown.
    const Entry* bySeq(uint64_t seq) const;
    uint64_t firstSeq() const { return size_ ? at(0).seq : nextSeq_; }

private:
    std::vector<Entry> slots_;
    size_t head_ = 0, size_ = 0;
    uint64_t nextSeq_ = 1;
};

class Stats {
public:
    Stats();
    void add(const Entry& e);
    void reset();

    uint64_t sent = 0, good = 0;
    std::array<uint64_t, 256> byCode{};  // failures by result code
    uint64_t portFailures = 0;           // exchanges the port failed, counted in none of the above
    uint64_t pollTicks = 0, pollGoodTicks = 0;

    // Response times of answered exchanges, ms; -1 with none.
    double minMs() const { return timed_ ? minMs_ : -1; }
    double maxMs() const { return timed_ ? maxMs_ : -1; }
    // The q-quantile (0..1) to the 0.1 ms of the histogram; -1 with none.
    double quantileMs(double q) const;
    // Good polling ticks per tick, %; -1 with none.
    double availability() const;

private:
    static constexpr size_t kBins = 100000;  // 0.1 ms each: 10 s, the longest reply a line allows
    std::vector<uint32_t> hist_;
    uint64_t timed_ = 0;
    double minMs_ = 0, maxMs_ = 0;
    uint64_t tickRun_ = 0;
    bool tickFailed_ = false;
};

// Each exchange into the ring and the counts.
class Store {
public:
    explicit Store(size_t capacity = Ring::kDefaultCapacity) : ring(capacity) {}
    const Entry& add(int64_t wallMs, const ExchangeRecord& rec) {
        const Entry& e = ring.push(wallMs, rec);
        stats.add(e);
        return e;
    }
    Ring ring;
    Stats stats;
};

}  // namespace lork::journal
