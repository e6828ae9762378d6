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

// One fast search: the lines to try, what was asked and found so far, and the
// address whose reply may still be on its way.
class FastSweep {
public:
    FastSweep(Core& core, const FastPlan& plan, const FastProgress& progress)
        : core_(core), ls_(core.st.ls), link_(core.link), plan_(plan), progress_(progress),
          fx_(link_.port(), link_.clock()) {}
    FastResult run();

private:
    bool stopped() const { return progress_.stop && progress_.stop(); }
    int64_t waitUs(size_t requestLen) const {
        return plan_.timeoutMs != 0 ? int64_t(plan_.timeoutMs) * 1000 : firstByteTimeoutUs(fx_, requestLen);
    }
    void confirm(int a);
    bool tryOne(int a, const Line& l);
    void drain();
    bool useLine(const Line& l);

    Core& core_;
    LineSettings& ls_;
    Link& link_;
    const FastPlan& plan_;
    const FastProgress& progress_;
    FrameExchange fx_;
    FastResult result_;
    std::set<int> foundAdr_;
    std::set<std::tuple<int, int, int, int>> tried_;
    int prev_ = 0;  // the address asked last, while its reply may still come
};

// Whatever answered is checked the ordinary way before it counts.
void FastSweep::confirm(int a) {
    if (a < plan_.from || a > plan_.to || foundAdr_.count(a)) return;
    ls_.adr = uint8_t(a);
    uint8_t code = 0;
    try {
        for (int i = 0; i < kConfirmProbes && code == 0; ++i) code = core_.dev.Check_scor();
    } catch (const ProbeAborted&) {
        throw Aborted{};
    }
    if (code != 0) {
        const FastFound f{a, ls_.scor, ls_.parity, ls_.stopbit};
        result_.found.push_back(f);
        foundAdr_.insert(a);
        if (progress_.found) progress_.found(f);
    }
    link_.Port_open(ls_.port_name, ls_.scor, ls_.parity, ls_.stopbit, ls_.bytesize);
}

// Bytes in the wait for address a: a's reply, or one of the address before
// that came late (its own address byte says which, unless the reply was
// garbled by the next request on the line). All are confirmed. False: the
// port failed.
bool FastSweep::tryOne(int a, const Line& l) {
    if (foundAdr_.count(a) || !tried_.insert({a, l.code, l.parity, l.stopbits}).second) return true;
    if (progress_.address) progress_.address(a);
    const auto request = rtu::readRequest(uint8_t(a), reg::ReadHoldingRegisters, reg::adr, 1);
    const auto reply = fx_.exchange(request, waitUs(request.size()));
    if (reply.error != 0) {
        result_.portFailure = link_.port().describeError(ls_.port_name, reply.error);
        return false;
    }
    const int before = prev_;
    prev_ = a;
    if (reply.bytes.empty()) return true;
    prev_ = 0;
    const int fromAdr = reply.bytes[0];
    if (fromAdr == a) {
        confirm(a);
        return true;
    }
    // Not a's own reply: one that named another address, or garbage.
    if (fromAdr != before) confirm(fromAdr);
    if (before != 0) confirm(before);
    confirm(a);
    return true;
}

// After the last address of a sweep, one more wait for a late reply.
void FastSweep::drain() {
    if (prev_ != 0 && link_.port().waitForReadyReadUs(waitUs(8))) confirm(prev_);
    prev_ = 0;
}

bool FastSweep::useLine(const Line& l) {
    ls_.scor = scor_table[size_t(l.code)];
    ls_.scor_code = uint8_t(l.code);
    ls_.parity = l.parity;
    ls_.stopbit = l.stopbits;
    if (link_.Port_open(ls_.port_name, ls_.scor, ls_.parity, ls_.stopbit, ls_.bytesize) == 0) return true;
    result_.portFailure = link_.port().describeError(ls_.port_name, link_.port_error) + "; скорость " +
                          std::to_string(ls_.scor) + " не установить";
    return false;
}

FastResult FastSweep::run() {
    std::vector<Line> lines;
    for (uint8_t p : plan_.parities)
        for (uint8_t sb : plan_.stopbits)
            for (int c : likelyOrder(plan_.codes)) lines.push_back({c, p, sb});
    try {
        const int defAdr = kDefaultLine.adr;
        for (const Line& l : lines)
            if (l.code == kDefaultLine.scor_code && l.parity == kDefaultLine.parity &&
                l.stopbits == kDefaultLine.stopbit && defAdr >= plan_.from && defAdr <= plan_.to) {
                if (!useLine(l) || !tryOne(defAdr, l)) return result_;
                drain();
            }
        for (const Line& l : lines) {
            if (stopped()) break;
            if (!useLine(l)) return result_;
            if (progress_.line) progress_.line(ls_);
            for (int a = plan_.from; a <= plan_.to && !stopped(); ++a)
                if (!tryOne(a, l)) return result_;
            drain();
        }
    } catch (const Aborted&) {
        result_.aborted = true;
    }
    return result_;
}

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
    return FastSweep(core, plan, progress).run();
}

}  // namespace lork
