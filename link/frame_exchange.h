#pragma once
// One request and its reply with time-outs of the caller's own, for the power
// tools beside the fixed transactions: frames of any length, the next request
// as soon as the line has been silent for 3.5 characters, a reply taken as
// complete as soon as its own length says so.
#include <cstdint>
#include <vector>

#include "platform/base/clock.h"
#include "platform/base/serial_port.h"

namespace lork {

class FrameExchange {
public:
    FrameExchange(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

    // n characters on the wire at the port's line settings, us.
    int64_t wireUs(size_t n) const;
    // The silence that ends a frame: 3.5 characters, 1.75 ms above 19200 bit/s.
    int64_t silenceUs() const;

    struct Reply {
        std::vector<uint8_t> bytes;
        uint32_t error = 0;        // system error of a port that failed
        int64_t firstByteUs = -1;  // from the write to the first reply byte, -1: none
        uint8_t gatewayException = 0;  // SerialPort::gatewayException of the reply
    };
    // Sends request (its function byte tells the reply's length) once the
    // line has been silent since the last frame, and waits up to
    // firstByteTimeoutUs from the write for the reply's first byte; the rest
    // is gathered until the reply is complete or the line falls silent.
    Reply exchange(const std::vector<uint8_t>& request, int64_t firstByteTimeoutUs);

private:
    SerialPort& port_;
    Clock& clock_;
    int64_t lineBusyUntilUs_ = 0;  // the end of the last frame on the line
};

}  // namespace lork
