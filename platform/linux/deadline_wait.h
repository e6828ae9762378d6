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

inline timespec Span_ts(int64_t us) { return {time_t(us / 1'000'000), long(us % 1'000'000) * 1000}; }

// ppoll on one descriptor until the monotonic time end_us: ppoll's result
// (0 when the deadline passed with nothing), errno kept; EINTR never ends it.
inline int Poll_until(pollfd& p, int64_t end_us) {
    for (;;) {
        const int64_t left = end_us - Monotonic_us();
        const timespec to = Span_ts(left > kFinishUs ? left - kFinishUs : 0);
        p.revents = 0;
        const int r = ppoll(&p, 1, &to, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r != 0 || Monotonic_us() >= end_us) return r;
    }
}

// Sleeps until the monotonic time end_us; a signal does not make it longer.
inline void Sleep_until(int64_t end_us) {
    const int64_t wake = end_us - kFinishUs;
    const timespec until = Span_ts(wake);
    if (wake > Monotonic_us())
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    while (Monotonic_us() < end_us) {
    }
}

}  // namespace lork
