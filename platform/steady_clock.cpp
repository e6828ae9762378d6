#include "platform/steady_clock.h"

#include <chrono>
#include <thread>

namespace lork {

int64_t SteadyClock::nowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::sleepMs(int ms) {
    // Sleep(0) only yields; a negative pause is none.
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace lork
