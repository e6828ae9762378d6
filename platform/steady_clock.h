#pragma once
// The real clock: monotonic time and a blocking sleep of the calling thread.
#include "platform/clock.h"

namespace lork {

class SteadyClock : public Clock {
public:
    int64_t nowUs() const override;
    void sleepMs(int ms) override;
};

}  // namespace lork
