#include "platform/base/system_clock.h"

#include <sys/prctl.h>

#include <chrono>

#include "platform/linux/deadline_wait.h"

namespace lork {

SystemClock::SystemClock() {
    // The pauses and time-outs at 115200 bit/s are single milliseconds;
    // the kernel's default 50 us of timer slack on every sleep and poll
    // of this thread would add up to several per cent of an exchange.
    prctl(PR_SET_TIMERSLACK, 1UL);
}

int64_t SystemClock::nowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepMs(int ms) {
    if (ms <= 0) return;
    // To a deadline: a signal that interrupts the sleep does not make it
    // longer, and the wake-up's own lateness is not added.
    sleepUntil(monotonicUs() + int64_t(ms) * 1000);
}

}  // namespace lork
