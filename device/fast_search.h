#pragma once
// The fast search: each address one request with a wait just long enough for
// the instrument to begin its reply, the settings likeliest to be in use
// first, every answer confirmed by the ordinary presence probe. lorkctl's
// search --fast and the window's "быстрый поиск" run it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/frame_exchange.h"
#include "device/device.h"

namespace lork {

// How long after the request's last character a reply of this instrument
// begins: an RTU slave takes a request as whole only after 3.5 characters of
// silence (1.75 ms above 19200 bit/s) and answers at once after; lork-sim
// --pace does the same (bench_fast_probe, bench/README.md).
int64_t replyLatencyUs(const FrameExchange& fx);

// Scheduling on a loaded machine: against lork-sim --pace the first byte came
// before that schedule in most probes at most rates, the slowest percent 3 to
// 7 ms after it, single ones far later (two cores, load 3 to 4). A margin
// that covered those would double the cost of every silent address. This one
// covers a millisecond of jitter; a reply later than that still brings bytes
// into the next address's wait (its own address byte, or garbage where it met
// the next request on the line), and both addresses are then confirmed with
// the presence probe: a late reply costs a confirmation, not a miss.
inline constexpr int64_t kSearchMarginUs = 1000;

// The wait from the write for the first reply byte: the request and one
// character of the reply on the wire, the latency and the margin.
int64_t firstByteTimeoutUs(const FrameExchange& fx, size_t requestLen);

struct FastPlan {
    std::vector<int> codes;          // baud codes, any order
    std::vector<uint8_t> parities;   // parity codes in the order tried
    std::vector<uint8_t> stopbits;   // 1, 2
    int from = 1, to = 247;
    uint32_t timeoutMs = 0;          // the wait for a reply's first byte; 0: computed for the rate
};

struct FastFound {
    int address;
    int32_t rate;
    uint8_t parity;
    uint8_t stopbits;
};

// What the search tells while it runs; any may be left empty.
struct FastProgress {
    std::function<bool()> stop;                   // true: end the sweep at the current address
    std::function<void(const LineSettings&)> line;  // a sweep over the addresses begins on this line
    std::function<void(int)> address;             // this address is asked
    std::function<void(const FastFound&)> found;  // an instrument confirmed
};

struct FastResult {
    std::vector<FastFound> found;
    std::string portFailure;  // the port failed and the search ended: why, in words
    bool aborted = false;     // a presence probe was abandoned (ProbeAborted)
};

// The baud codes in the order operators set rates in.
std::vector<int> likelyOrder(std::vector<int> codes);

// Runs on the core's line settings, which it changes as it sweeps; the
// presence probe's own abort (ProbeAborted) ends it with what was found.
FastResult fastSearch(Core& core, const FastPlan& plan, const FastProgress& progress);

}  // namespace lork
