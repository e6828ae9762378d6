#pragma once
// Waits that end on time. The kernel wakes a thread that sleeps in ppoll or
// clock_nanosleep some 20-30 us after its deadline (more under load), and
// the link's pauses and read time-outs at 115200 bit/s are single
// milliseconds, several per exchange. A wait here sleeps to shortly before
// its deadline and looks without sleeping for the rest, so it ends within a
// few microseconds of the deadline, for at most kFinishUs of processor time.
#include <poll.h>
#include <time.h>

#include <cerrno>
#include <cstdint>

#include "platform/base/monotonic.h"

namespace lork {

inline constexpr int64_t kFinishUs = 50;

inline timespec spanTs(int64_t us) { return {time_t(us / 1'000'000), long(us % 1'000'000) * 1000}; }

// ppoll on one descriptor until the monotonic time endUs: ppoll's result
// (0 when the deadline passed with nothing), errno kept; EINTR never ends it.
inline int pollUntil(pollfd& p, int64_t endUs) {
    for (;;) {
        const int64_t left = endUs - monotonicUs();
        const timespec to = spanTs(left > kFinishUs ? left - kFinishUs : 0);
        p.revents = 0;
        const int r = ppoll(&p, 1, &to, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r != 0 || monotonicUs() >= endUs) return r;
    }
}

// Sleeps until the monotonic time endUs; a signal does not make it longer.
inline void sleepUntil(int64_t endUs) {
    const int64_t wake = endUs - kFinishUs;
    const timespec until = spanTs(wake);
    if (wake > monotonicUs())
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    while (monotonicUs() < endUs) {
    }
}

}  // namespace lork
