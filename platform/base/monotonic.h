#pragma once
// The system's monotonic time in microseconds, for the deadlines of the real
// ports and waits (the link itself asks its Clock). On Linux the steady clock
// is CLOCK_MONOTONIC, the clock the deadline waits sleep on.
#include <chrono>
#include <cstdint>

namespace lork {

inline int64_t monotonicUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace lork
