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
// begins: an RTU slave may only take a request as whole after 3.5
// characters of silence, and answers at once after. lork-sim --pace answers
// after exactly that; the first byte was measured 0.1-0.4 ms later on top of
// the character's own wire time, at every rate (bench/README.md).
int64_t reply_latency_us(const lork::FrameExchange& fx);

// Scheduling and the pseudo-terminal's hand-over on a loaded machine added up
// to 1.2 ms to the measured first byte in 2000 probes; twice that keeps a
// present instrument from being taken for a silent one, while a silent
// address costs little more than the wire time.
inline constexpr int64_t kSearchMarginUs = 2500;

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
