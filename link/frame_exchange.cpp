#include "link/frame_exchange.h"

#include <algorithm>

#include "protocol/rtu_frame.h"

namespace lork {

namespace {
// A reply that stops short is over once nothing has come for this long: a
// pseudo-terminal or a USB adapter hands bytes over in bursts up to a
// millisecond or two apart, which a slow line's 3.5 characters already cover.
constexpr int64_t kGapFloorUs = 3000;
}  // namespace

int64_t FrameExchange::wireUs(size_t n) const {
    const LineConfig cfg = port_.config();
    if (cfg.baud <= 0) return 0;
    const int64_t bits = 1 + cfg.bytesize + (cfg.parity != 0 ? 1 : 0) + (cfg.stopbits == 2 ? 2 : 1);
    return (int64_t(n) * bits * 1'000'000 + cfg.baud - 1) / cfg.baud;
}

int64_t FrameExchange::silenceUs() const {
    if (port_.config().baud > 19200) return 1750;
    return wireUs(7) / 2;
}

FrameExchange::Reply FrameExchange::exchange(const std::vector<uint8_t>& request, int64_t firstByteTimeoutUs) {
    Reply r;
    const int64_t wait = lineBusyUntilUs_ + silenceUs() - clock_.nowUs();
    if (wait > 0) port_.waitForReadyReadUs(wait);  // a sleep to the microsecond; a stray byte ends it early
    port_.purgeInput();
    const int64_t sent = clock_.nowUs();
    if ((r.error = port_.write(request.data(), request.size())) != 0) return r;
    lineBusyUntilUs_ = sent + wireUs(request.size());
    const uint8_t func = request.size() > 1 ? request[1] : 0;
    const int64_t gap = std::max(kGapFloorUs, silenceUs());
    int64_t end = sent + firstByteTimeoutUs;
    uint8_t buf[rtu::maxFrame];
    for (;;) {
        const size_t want = rtu::replyLength(r.bytes.data(), r.bytes.size(), func);
        if (want != 0 && r.bytes.size() >= want) break;
        const int64_t now = clock_.nowUs();
        if (now >= end) break;
        const bool ready = port_.waitForReadyReadUs(end - now);
        if ((r.error = port_.lastReadError()) != 0) break;
        if (!ready) break;
        const size_t room = rtu::maxFrame - r.bytes.size();
        const size_t k = port_.readAvailable(buf, room);
        if ((r.error = port_.lastReadError()) != 0) break;
        if (k == 0) continue;
        const int64_t at = clock_.nowUs();
        if (r.bytes.empty()) r.firstByteUs = at - sent;
        r.bytes.insert(r.bytes.end(), buf, buf + k);
        lineBusyUntilUs_ = at;
        if (r.bytes.size() >= rtu::maxFrame) break;
        end = at + gap;
    }
    r.gatewayException = port_.gatewayException();
    return r;
}

}  // namespace lork
