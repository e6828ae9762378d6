#include "device/fast_search.h"

#include <set>
#include <tuple>

#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

namespace lork {

namespace {

// The order operators set rates in: the common default, the next standard
// steps, the fastest, then the rest.
constexpr int kLikelyRates[] = {9600, 19200, 115200, 38400, 57600, 4800};

// A candidate heard by the fast probe gets a second presence probe when the
// first fails: on a loaded machine a single reply may come later than the
// probe's reads, and the ordinary search would then miss it as well.
constexpr int kConfirmProbes = 2;

// The factory setting, which the program's defaults hold (address 5, 9600
// bit/s, no parity, one stop bit): an instrument nobody has set up yet, tried
// before any sweep.
const LineSettings kDefaultLine{};

struct Line {
    int code;
    uint8_t parity;
    uint8_t stopbits;
};

struct Aborted {};

}  // namespace

int64_t replyLatencyUs(const FrameExchange& fx) { return fx.silenceUs(); }

int64_t firstByteTimeoutUs(const FrameExchange& fx, size_t requestLen) {
    return fx.wireUs(requestLen + 1) + replyLatencyUs(fx) + kSearchMarginUs;
}

std::vector<int> likelyOrder(std::vector<int> codes) {
    std::vector<int> out;
    for (int rate : kLikelyRates)
        for (int c : codes)
            if (scor_table[size_t(c)] == rate) out.push_back(c);
    return out;
}

FastResult fastSearch(Core& core, const FastPlan& plan, const FastProgress& progress) {
    auto& ls = core.st.ls;
    auto& link = core.link;
    FrameExchange fx(link.port(), link.clock());
    std::vector<Line> lines;
    for (uint8_t p : plan.parities)
        for (uint8_t sb : plan.stopbits)
            for (int c : likelyOrder(plan.codes)) lines.push_back({c, p, sb});

    FastResult result;
    std::set<int> found_adr;
    std::set<std::tuple<int, int, int, int>> tried;
    auto stopped = [&] { return progress.stop && progress.stop(); };
    auto wait_us = [&](size_t request_len) {
        return plan.timeoutMs != 0 ? int64_t(plan.timeoutMs) * 1000 : firstByteTimeoutUs(fx, request_len);
    };
    // Whatever answered is checked the ordinary way before it counts.
    auto confirm = [&](int a) {
        if (a < plan.from || a > plan.to || found_adr.count(a)) return;
        ls.adr = uint8_t(a);
        uint8_t code = 0;
        try {
            for (int i = 0; i < kConfirmProbes && code == 0; ++i) code = core.dev.Check_scor();
        } catch (const ProbeAborted&) {
            throw Aborted{};
        }
        if (code != 0) {
            const FastFound f{a, ls.scor, ls.parity, ls.stopbit};
            result.found.push_back(f);
            found_adr.insert(a);
            if (progress.found) progress.found(f);
        }
        link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
    };
    // Bytes in the wait for address a: a's reply, or one of the address
    // before that came late (its own address byte says which, unless the
    // reply was garbled by the next request on the line). All are confirmed.
    int prev = 0;
    auto try_one = [&](int a, const Line& l) {
        if (found_adr.count(a) || !tried.insert({a, l.code, l.parity, l.stopbits}).second) return true;
        if (progress.address) progress.address(a);
        const auto request = rtu::readRequest(uint8_t(a), reg::ReadHoldingRegisters, reg::adr, 1);
        const auto reply = fx.exchange(request, wait_us(request.size()));
        if (reply.error != 0) {
            result.portFailure = link.port().describeError(ls.port_name, reply.error);
            return false;
        }
        const int before = prev;
        prev = a;
        if (reply.bytes.empty()) return true;
        prev = 0;
        const int from_adr = reply.bytes[0];
        if (from_adr == a) {
            confirm(a);
            return true;
        }
        // Not a's own reply: one that named another address, or garbage.
        if (from_adr != before) confirm(from_adr);
        if (before != 0) confirm(before);
        confirm(a);
        return true;
    };
    // After the last address of a sweep, one more wait for a late reply.
    auto drain = [&] {
        if (prev != 0 && link.port().waitForReadyReadUs(wait_us(8))) confirm(prev);
        prev = 0;
    };
    auto use_line = [&](const Line& l) {
        ls.scor = scor_table[size_t(l.code)];
        ls.scor_code = uint8_t(l.code);
        ls.parity = l.parity;
        ls.stopbit = l.stopbits;
        if (link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize) == 0) return true;
        result.portFailure = link.port().describeError(ls.port_name, link.port_error) + "; скорость " +
                             std::to_string(ls.scor) + " не установить";
        return false;
    };

    try {
        const int def_adr = kDefaultLine.adr;
        for (const Line& l : lines)
            if (l.code == kDefaultLine.scor_code && l.parity == kDefaultLine.parity &&
                l.stopbits == kDefaultLine.stopbit && def_adr >= plan.from && def_adr <= plan.to) {
                if (!use_line(l) || !try_one(def_adr, l)) return result;
                drain();
            }
        for (const Line& l : lines) {
            if (stopped()) break;
            if (!use_line(l)) return result;
            if (progress.line) progress.line(ls);
            for (int a = plan.from; a <= plan.to && !stopped(); ++a)
                if (!try_one(a, l)) return result;
            drain();
        }
    } catch (const Aborted&) {
        result.aborted = true;
    }
    return result;
}

}  // namespace lork
