#pragma once
// The slow search: each address in turn asked with the ordinary presence
// probe, at the line's own rate, at given rates, or by the rate search over
// all six. The window's address and full searches and lorkctl's search run
// it, each telling its own progress.
#include <cstdint>
#include <functional>
#include <vector>

#include "device/device.h"

namespace lork {

struct SweepPlan {
    int from = 1, to = 247;
    std::vector<int> codes;  // baud codes tried in turn at each address (Check_scor); empty: see allRates
    bool allRates = false;   // the rate search at each address (Find_scor); with no codes and not this,
                             // the line's own rate
};

struct SweepSteps {
    std::function<void(int)> asking;               // this address is about to be asked
    std::function<bool(int, uint8_t)> done;         // this address answered at the baud code (0: nobody);
                                                     // false ends the sweep here
};

// Sweeps on the core's line settings: the address, and with codes the rate,
// stay at what was last tried. A probe's abort (ProbeAborted) leaves the
// sweep in the middle of an address, unfinished. Returns the last address
// done (from - 1: none).
int sweepAddresses(Core& core, const SweepPlan& plan, const SweepSteps& steps);

}  // namespace lork
