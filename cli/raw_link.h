#pragma once
// The power tools' exchanges: frames of any length on the session's port,
// with the wait for a reply computed for the line, or --timeout, and
// --retries.
#include <cstdint>
#include <vector>

#include "cli/session.h"
#include "link/frame_exchange.h"
#include "device/fast_search.h"
#include "protocol/rtu_frame.h"

namespace lorkctl {

// The fast search's timing (protocol/fast_search.h), under the names the
// benchmarks use.
using lork::kSearchMarginUs;
inline int64_t reply_latency_us(const lork::FrameExchange& fx) { return lork::replyLatencyUs(fx); }
inline int64_t first_byte_timeout_us(const lork::FrameExchange& fx, size_t request_len) {
    return lork::firstByteTimeoutUs(fx, request_len);
}

struct RawResult {
    lork::rtu::Check check;
    std::vector<uint8_t> reply;
    uint32_t error = 0;  // the port failed
};

// One request and its reply checked, repeated as --retries allows. Without
// --timeout the wait is that of the fixed transactions at this rate: the pause
// after a request and six single-byte read time-outs; a present instrument
// ends it as soon as its reply is whole.
RawResult raw_exchange(Session& s, lork::FrameExchange& fx, const std::vector<uint8_t>& request);

}  // namespace lorkctl
