// search --fast: one short request per address and setting, every answer
// confirmed with the presence probe of the ordinary search.
#include <unistd.h>

#include <cstdio>
#include <set>
#include <tuple>

#include "cli/commands.h"
#include "cli/fast_search.h"
#include "cli/interrupt.h"
#include "cli/raw_link.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace {

namespace reg = lork::reg;

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
const lork::LineSettings kDefaultLine{};

struct Line {
    int code;
    uint8_t parity;
    uint8_t stopbits;
};

}  // namespace

std::vector<int> likely_order(std::vector<int> codes) {
    std::vector<int> out;
    for (int rate : kLikelyRates)
        for (int c : codes)
            if (lork::scor_table[size_t(c)] == rate) out.push_back(c);
    return out;
}

std::vector<FastFound> fast_search(Session& s, const FastPlan& plan) {
    auto& ls = s.ls();
    auto& link = s.core().link;
    lork::FrameExchange fx(s.port(), s.clock());
    std::vector<Line> lines;
    for (uint8_t p : plan.parities)
        for (uint8_t sb : plan.stopbits)
            for (int c : likely_order(plan.codes)) lines.push_back({c, p, sb});

    std::vector<FastFound> found;
    std::set<int> found_adr;
    std::set<std::tuple<int, int, int, int>> tried;
    const bool tty = isatty(STDERR_FILENO);
    // --timeout, when given, in place of the wait computed for the rate.
    auto wait_us = [&](size_t request_len) {
        return s.timeout_ms() != 0 ? int64_t(s.timeout_ms()) * 1000 : first_byte_timeout_us(fx, request_len);
    };
    // Whatever answered is checked the ordinary way before it counts.
    auto confirm = [&](int a) {
        if (a < plan.from || a > plan.to || found_adr.count(a)) return;
        ls.adr = uint8_t(a);
        uint8_t code = 0;
        try {
            for (int i = 0; i < kConfirmProbes && code == 0; ++i) code = s.core().dev.Check_scor();
        } catch (const lork::ProbeAborted&) {
            return;  // Ctrl-C: the sweep ends with what was found
        }
        if (code != 0) {
            found.push_back({a, ls.scor, ls.parity, ls.stopbit});
            found_adr.insert(a);
            std::fprintf(stderr, "%sнайден адрес %d: %d, паритет %s, стопбит %u\n", tty ? "\r" : "", a, int(ls.scor),
                         parity_name(ls.parity).c_str(), unsigned(ls.stopbit));
        }
        link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize);
    };
    // Bytes in the wait for address a: a's reply, or one of the address
    // before that came late (its own address byte says which, unless the
    // reply was garbled by the next request on the line). All are confirmed.
    int prev = 0;
    auto try_one = [&](int a, const Line& l) {
        if (found_adr.count(a) || !tried.insert({a, l.code, l.parity, l.stopbits}).second) return;
        const auto request = lork::rtu::readRequest(uint8_t(a), reg::ReadHoldingRegisters, reg::adr, 1);
        const auto reply = fx.exchange(request, wait_us(request.size()));
        if (reply.error != 0) throw Exit{ST_PORT, "порт " + ls.port_name + ": ошибка " + std::to_string(reply.error)};
        const int before = prev;
        prev = a;
        if (reply.bytes.empty()) return;
        prev = 0;
        const int from_adr = reply.bytes[0];
        if (from_adr == a) return confirm(a);
        // Not a's own reply: one that named another address, or garbage.
        if (from_adr != before) confirm(from_adr);
        if (before != 0) confirm(before);
        confirm(a);
    };
    // After the last address of a sweep, one more wait for a late reply.
    auto drain = [&] {
        if (prev != 0 && s.port().waitForReadyReadUs(wait_us(8))) confirm(prev);
        prev = 0;
    };
    auto use_line = [&](const Line& l) {
        ls.scor = lork::scor_table[size_t(l.code)];
        ls.scor_code = uint8_t(l.code);
        ls.parity = l.parity;
        ls.stopbit = l.stopbits;
        if (link.Port_open(ls.port_name, ls.scor, ls.parity, ls.stopbit, ls.bytesize) != 0)
            throw Exit{ST_PORT, "порт " + ls.port_name + " не настроить на " + std::to_string(ls.scor)};
    };

    const int def_adr = kDefaultLine.adr;
    for (const Line& l : lines)
        if (l.code == kDefaultLine.scor_code && l.parity == kDefaultLine.parity && l.stopbits == kDefaultLine.stopbit &&
            def_adr >= plan.from && def_adr <= plan.to) {
            use_line(l);
            try_one(def_adr, l);
            drain();
        }
    for (const Line& l : lines) {
        if (interrupted()) break;
        use_line(l);
        std::fprintf(stderr, "%sскорость %d, паритет %s, стопбит %u%s", tty ? "\r" : "", int(ls.scor),
                     parity_name(l.parity).c_str(), unsigned(l.stopbits), tty ? "   " : "\n");
        for (int a = plan.from; a <= plan.to && !interrupted(); ++a) try_one(a, l);
        drain();
    }
    if (tty) std::fputc('\n', stderr);
    return found;
}

}  // namespace lorkctl
