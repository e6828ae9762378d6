#include "support/fake_port.h"

#include <algorithm>
#include <cerrno>

namespace lork::test {

void FakePort::arrive(int64_t atUs, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) pending_.emplace(atUs, b);
    if (!bytes.empty()) arrival_log_.push_back(atUs);
}

void FakePort::arriveSpaced(int64_t atUs, const std::vector<uint8_t>& bytes, int64_t per_byte_us) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        pending_.emplace(atUs + int64_t(i) * per_byte_us, bytes[i]);
        arrival_log_.push_back(atUs + int64_t(i) * per_byte_us);
    }
}

bool FakePort::arrivesBetween(int64_t from_us, int64_t to_us) const {
    return std::any_of(arrival_log_.begin(), arrival_log_.end(),
                       [&](int64_t t) { return t >= from_us && t <= to_us; });
}

uint32_t FakePort::open(const std::string& name) {
    opened.push_back(name);
    auto it = open_errors.find(name);
    if (it != open_errors.end()) {
        open_ = false;
        return it->second;
    }
    open_ = true;
    name_ = name;
    rx_.clear();
    pending_.clear();
    return 0;
}

uint32_t FakePort::configure(const LineConfig& cfg) {
    if (!open_) return EBADF;
    LineConfig next = cfg;
    if (cfg.stopbits != 1 && cfg.stopbits != 2) next.stopbits = cfg_.stopbits;
    cfg_ = next;
    return 0;
}

void FakePort::deliverDue() {
    auto end = pending_.upper_bound(clock_.now_us);
    for (auto it = pending_.begin(); it != end; ++it) rx_.push_back(it->second);
    pending_.erase(pending_.begin(), end);
}

void FakePort::purgeInput() {
    ++purges;
    deliverDue();
    rx_.clear();
}

uint32_t FakePort::write(const uint8_t* data, size_t len) {
    if (!open_) return EBADF;
    if (vanished()) return EIO;
    writes.push_back({clock_.now_us, cfg_, std::vector<uint8_t>(data, data + len)});
    if (onWrite) onWrite(*this, writes.back().bytes);
    return 0;
}

size_t FakePort::readAvailable(uint8_t* buf, size_t max) {
    readError_ = !open_ ? EBADF : vanished() ? EIO : 0;
    if (readError_) return 0;
    deliverDue();
    size_t n = std::min(max, rx_.size());
    for (size_t i = 0; i < n; ++i) {
        buf[i] = rx_.front();
        rx_.pop_front();
    }
    return n;
}

bool FakePort::waitForReadyRead(int ms) {
    ++waits;
    readError_ = !open_ ? EBADF : vanished() ? EIO : 0;
    if (readError_) return false;
    deliverDue();
    if (!rx_.empty()) return true;
    const int64_t limit = clock_.now_us + int64_t(std::max(ms, 0)) * 1000;
    if (!pending_.empty() && pending_.begin()->first <= limit) {
        clock_.now_us = std::max(clock_.now_us, pending_.begin()->first);
        deliverDue();
        return true;
    }
    clock_.now_us = limit;
    return false;
}

}  // namespace lork::test
