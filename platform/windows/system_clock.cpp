#include "platform/base/system_clock.h"

#include <windows.h>

namespace lork {

namespace {
int64_t counterHz() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}
}  // namespace

SystemClock::SystemClock() = default;

int64_t SystemClock::nowUs() const {
    static const int64_t hz = counterHz();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart / hz * 1'000'000 + c.QuadPart % hz * 1'000'000 / hz;
}

void SystemClock::sleepMs(int ms) {
    if (ms <= 0) return;
    // To a deadline. Sleep() wakes up to a tick late (1 ms while a port holds
    // timeBeginPeriod(1)): it sleeps to a tick before the deadline, and the
    // rest is given away a time slice at a time.
    const int64_t end = nowUs() + int64_t(ms) * 1000;
    for (int64_t left = end - nowUs(); left > 0; left = end - nowUs()) {
        if (left >= 2000) Sleep(DWORD(left / 1000 - 1));
        else SwitchToThread();
    }
}

}  // namespace lork
