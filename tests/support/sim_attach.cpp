#include "support/sim_attach.h"

#include "sim/wire_timing.h"

namespace lork::test {

void attachToFakePort(FakePort& port, sim::InstrumentModel& model, SimAttachOptions opt) {
    attachToFakePort(port, std::vector<sim::InstrumentModel*>{&model}, opt);
}

void attachToFakePort(FakePort& port, std::vector<sim::InstrumentModel*> models, SimAttachOptions opt) {
    port.onWrite = [models, opt](FakePort& p, const std::vector<uint8_t>& req) {
        const LineConfig cfg = p.config();
        // Each instrument hears every frame and answers only its own address.
        for (sim::InstrumentModel* model : models) {
            const sim::SimLine& line = model->line();
            // At another rate, parity or framing the instrument's UART sees only garbage.
            if (cfg.baud != line.baud() || cfg.parity != line.parity || cfg.stopbits != line.stopbit ||
                cfg.bytesize != 8)
                continue;
            const int64_t ch = sim::charTimeUs(cfg.baud, cfg.parity, cfg.stopbits);
            // write() returns at once; the request is still on the wire after it.
            const int64_t reqEnd = p.clock().now_us + ch * int64_t(req.size());
            sim::Reply r = model->handle(req);
            if (!r.bytes.empty()) {
                int64_t start = reqEnd + sim::frameSilenceUs(cfg.baud, cfg.parity, cfg.stopbits) +
                                opt.extra_turnaround_us;
                if (r.late) start = std::max(start, reqEnd + sim::lateReplyStartUs(line.scor_code));
                // Each byte is readable once its last bit has arrived.
                p.arriveSpaced(start + ch, r.bytes, ch);
            }
            model->commitAfterReply();
        }
    };
}

}  // namespace lork::test
