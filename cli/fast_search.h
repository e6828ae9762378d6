#pragma once
// search --fast on the session's line: the fast search (device/fast_search.h)
// with its progress on standard error and Ctrl-C ending the sweep.
#include <vector>

#include "cli/session.h"
#include "device/fast_search.h"

namespace lorkctl {

using lork::FastFound;
using lork::FastPlan;

// Ctrl-C ends the sweep at the current address; what was found is returned.
std::vector<FastFound> fastSearch(Session& s, FastPlan plan);

}  // namespace lorkctl
