#pragma once
// The real clock: a monotonic time base and a blocking sleep.
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace lork {

class SystemClock : public Clock {
public:
    int64_t nowUs() const override {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleepMs(int ms) override {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

}  // namespace lork
