#pragma once
#include <cstdint>

namespace lork {

// Monotonic time and blocking sleep; a VirtualClock replaces it in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowUs() const = 0;   // microseconds since an arbitrary origin
    virtual void sleepMs(int ms) = 0;    // the platform's Sleep()
};

}  // namespace lork
