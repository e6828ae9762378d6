#include "cli/raw_link.h"

#include "link/link.h"
#include "protocol/registers.h"

namespace lorkctl {

RawResult rawExchange(Session& s, lork::FrameExchange& fx, const std::vector<uint8_t>& request) {
    int64_t waitUs = int64_t(s.timeoutMs()) * 1000;
    if (waitUs == 0) waitUs = lork::fixedReplyWaitUs(s.ls().scor_code, s.ls().scor);
    const bool write = request[1] == lork::reg::WriteMultipleRegisters;
    RawResult r;
    for (int attempt = 0;; ++attempt) {
        const auto reply = fx.exchange(request, waitUs);
        r.reply = reply.bytes;
        r.error = reply.error;
        r.check = lork::rtu::checkReply(request, r.reply, reply.gatewayException);
        if (r.error != 0 || attempt >= s.retries() || !mayRepeat(r.check.kod, write, r.check.exception)) break;
    }
    return r;
}

}  // namespace lorkctl
