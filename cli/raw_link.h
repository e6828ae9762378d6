#pragma once
// The power tools' exchanges: frames of any length on the session's port,
// with the wait for a reply computed for the line, or --timeout, and
// --retries.
#include <cstdint>
#include <vector>

#include "cli/session.h"
#include "link/frame_exchange.h"
#include "protocol/rtu_frame.h"

namespace lorkctl {

// How long after the request's last character a reply of this instrument
// begins: an RTU slave takes a request as whole only after 3.5 characters of
// silence (1.75 ms above 19200 bit/s) and answers at once after; lork-sim
// --pace does the same (bench_fast_probe, bench/README.md).
int64_t reply_latency_us(const lork::FrameExchange& fx);

// Scheduling on a loaded machine: against lork-sim --pace the first byte came
// before that schedule in most probes at most rates, the slowest percent 3 to
// 7 ms after it, single ones far later (two cores, load 3 to 4). A margin
// that covered those would double the cost of every silent address. This one
// covers a millisecond of jitter; a reply later than that still brings bytes
// into the next address's wait (its own address byte, or garbage where it met
// the next request on the line), and both addresses are then confirmed with
// the presence probe: a late reply costs a confirmation, not a miss.
inline constexpr int64_t kSearchMarginUs = 1000;

// The wait from the write for the first reply byte: the request and one
// character of the reply on the wire, the latency and the margin.
int64_t first_byte_timeout_us(const lork::FrameExchange& fx, size_t request_len);

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
