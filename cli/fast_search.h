#pragma once
// search --fast: each address one request with a wait just long enough for
// the instrument to begin its reply, the settings likeliest to be in use
// first, every answer confirmed by the ordinary presence probe.
#include <cstdint>
#include <vector>

#include "cli/session.h"

namespace lorkctl {

struct FastPlan {
    std::vector<int> codes;          // baud codes, any order
    std::vector<uint8_t> parities;   // parity codes in the order tried
    std::vector<uint8_t> stopbits;   // 1, 2
    int from = 1, to = 247;
};

struct FastFound {
    int address;
    int32_t rate;
    uint8_t parity;
    uint8_t stopbits;
};

// The baud codes in the order operators set rates in.
std::vector<int> likely_order(std::vector<int> codes);

// Ctrl-C ends the sweep at the current address; what was found is returned.
std::vector<FastFound> fast_search(Session& s, const FastPlan& plan);

}  // namespace lorkctl
