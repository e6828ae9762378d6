#include "sim/sim_port.h"

#include <thread>

#include "sim/wire_timing.h"

namespace lork::sim {

uint32_t SimPort::open(const std::string&) {
    open_ = true;
    rx_.clear();
    return 0;
}

void SimPort::close() {
    open_ = false;
    rx_.clear();
}

uint32_t SimPort::configure(const LineConfig& cfg) {
    if (!open_) return EBADF;
    LineConfig applied = cfg;
    if (cfg.stopbits != 1 && cfg.stopbits != 2) applied.stopbits = cfg_.stopbits;
    cfg_ = applied;
    return 0;
}

void SimPort::purgeInput() {
    const auto now = Clock::now();
    while (!rx_.empty() && rx_.front().at <= now) rx_.pop_front();
}

uint32_t SimPort::write(const uint8_t* data, size_t len) {
    if (!open_) return EBADF;
    const SimLine& line = model_.line();
    // At another rate, parity or framing the instrument's UART sees only garbage.
    if (cfg_.baud != line.baud() || cfg_.parity != line.parity || cfg_.stopbits != line.stopbit || cfg_.bytesize != 8)
        return 0;
    const auto us = [](int64_t n) { return std::chrono::microseconds(n); };
    const int64_t ch = charTimeUs(cfg_.baud, cfg_.parity, cfg_.stopbits);
    const auto reqEnd = Clock::now() + us(ch * int64_t(len));
    const Reply r = model_.handle(data, len);
    auto at = reqEnd + us(frameSilenceUs(cfg_.baud, cfg_.parity, cfg_.stopbits));
    if (r.late) at = std::max(at, reqEnd + us(lateReplyStartUs(line.scor_code)));
    for (uint8_t b : r.bytes) {
        at += us(ch);
        rx_.push_back({at, b});
    }
    model_.commitAfterReply();
    return 0;
}

size_t SimPort::readAvailable(uint8_t* buf, size_t max) {
    const auto now = Clock::now();
    size_t n = 0;
    while (n < max && !rx_.empty() && rx_.front().at <= now) {
        buf[n++] = rx_.front().value;
        rx_.pop_front();
    }
    return n;
}

bool SimPort::waitForReadyReadUs(int64_t us) {
    if (!open_) return false;
    const auto end = Clock::now() + std::chrono::microseconds(std::max<int64_t>(us, 0));
    if (rx_.empty() || rx_.front().at > end) {
        std::this_thread::sleep_until(end);
        return false;
    }
    std::this_thread::sleep_until(rx_.front().at);
    return true;
}

}  // namespace lork::sim
