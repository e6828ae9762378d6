#pragma once
// The real clock: a monotonic time base and a blocking sleep to a deadline.
// One implementation per system (platform/linux/, platform/windows/).
#include <cstdint>

#include "platform/base/clock.h"

namespace lork {

class SystemClock : public Clock {
public:
    SystemClock();
    int64_t nowUs() const override;
    void sleepMs(int ms) override;
};

}  // namespace lork
