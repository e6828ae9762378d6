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

struct RawResult {
    lork::rtu::Check check;
    std::vector<uint8_t> reply;
    uint32_t error = 0;  // the port failed
};

// One request and its reply checked, repeated as --retries allows. Without
// --timeout the wait is that of the fixed transactions at this rate: the pause
// after a request and six single-byte read time-outs; a present instrument
// ends it as soon as its reply is whole.
RawResult rawExchange(Session& s, lork::FrameExchange& fx, const std::vector<uint8_t>& request);

}  // namespace lorkctl
