#include "records/journal.h"

#include <algorithm>
#include <cmath>

namespace lork::journal {

Ring::Ring(size_t capacity) : slots_(std::max<size_t>(capacity, 1)) {}

const Entry& Ring::push(int64_t wallMs, const ExchangeRecord& rec) {
    size_t slot;
    if (size_ < slots_.size()) {
        slot = (head_ + size_) % slots_.size();
        ++size_;
    } else {
        slot = head_;
        head_ = (head_ + 1) % slots_.size();
    }
    Entry& e = slots_[slot];
    e.seq = nextSeq_++;
    e.wallMs = wallMs;
    // Assigning keeps the slot's buffers: a full ring allocates nothing more.
    e.rec.request.assign(rec.request.begin(), rec.request.end());
    e.rec.reply.assign(rec.reply.begin(), rec.reply.end());
    e.rec.writeUs = rec.writeUs;
    e.rec.lastByteUs = rec.lastByteUs;
    e.rec.kod_rez = rec.kod_rez;
    e.rec.command = rec.command;
    e.rec.probe = rec.probe;
    e.rec.report = rec.report;
    e.rec.commandRun = rec.commandRun;
    e.rec.fault = rec.fault;
    e.rec.faultText.assign(rec.faultText);
    return e;
}

void Ring::clear() {
    head_ = 0;
    size_ = 0;
}

const Entry* Ring::bySeq(uint64_t seq) const {
    if (!size_ || seq < firstSeq() || seq >= nextSeq_) return nullptr;
    return &at(size_t(seq - firstSeq()));
}

Stats::Stats() : hist_(kBins, 0) {}

void Stats::add(const Entry& e) {
    // A port that failed sent nothing and heard nothing: no result code of
    // it tells of the instrument or the line behind the port.
    if (e.rec.portFailed()) ++portFailures;
    else {
        ++sent;
        if (e.rec.kod_rez == 0) ++good;
        else ++byCode[e.rec.kod_rez];
    }
    if (e.answered()) {
        const double ms = e.responseMs();
        if (!timed_ || ms < minMs_) minMs_ = ms;
        if (!timed_ || ms > maxMs_) maxMs_ = ms;
        ++timed_;
        ++hist_[std::min(kBins - 1, size_t(std::lround(ms * 10)))];
    }
    if (e.rec.command == Command::Polling) {  // its presence probe included
        // A tick is good when every exchange of it is.
        if (e.rec.commandRun != tickRun_) {
            tickRun_ = e.rec.commandRun;
            tickFailed_ = false;
            ++pollTicks;
            ++pollGoodTicks;
        }
        if (e.rec.kod_rez != 0 && !tickFailed_ && pollGoodTicks) {
            tickFailed_ = true;
            --pollGoodTicks;
        }
    }
}

void Stats::reset() {
    const uint64_t run = tickRun_;
    *this = Stats();
    // A tick running across the reset is left out: its first part is gone.
    tickRun_ = run;
    tickFailed_ = true;
}

double Stats::quantileMs(double q) const {
    if (!timed_) return -1;
    // The nearest-rank quantile: the smallest time with at least q of them at or below.
    const uint64_t rank = std::max<uint64_t>(1, uint64_t(std::ceil(q * double(timed_))));
    uint64_t seen = 0;
    for (size_t i = 0; i < kBins; ++i) {
        seen += hist_[i];
        if (seen >= rank) return std::clamp(double(i) / 10.0, minMs_, maxMs_);
    }
    return maxMs_;
}

double Stats::availability() const {
    return pollTicks ? 100.0 * double(pollGoodTicks) / double(pollTicks) : -1;
}

}  // namespace lork::journal
