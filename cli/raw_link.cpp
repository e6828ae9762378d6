#include "cli/raw_link.h"

#include "link/link.h"
#include "protocol/registers.h"

namespace lorkctl {

RawResult raw_exchange(Session& s, lork::FrameExchange& fx, const std::vector<uint8_t>& request) {
    int64_t wait_us = int64_t(s.timeout_ms()) * 1000;
    if (wait_us == 0) wait_us = lork::fixedReplyWaitUs(s.ls().scor_code, s.ls().scor);
    const bool write = request[1] == lork::reg::WriteMultipleRegisters;
    RawResult r;
    for (int attempt = 0;; ++attempt) {
        const auto reply = fx.exchange(request, wait_us);
        r.reply = reply.bytes;
        r.error = reply.error;
        r.check = lork::rtu::checkReply(request, r.reply, reply.gatewayException);
        if (r.error != 0 || attempt >= s.retries() || !may_repeat(r.check.kod, write, r.check.exception)) break;
    }
    return r;
}

}  // namespace lorkctl
