#pragma once
// Baud rates as termios speed constants and back, for the simulator's pty and
// the test suite's termios port. Rates termios has no constant for give B0 / 0.
#include <termios.h>

#include <cstdint>

namespace lork {

inline constexpr struct {
    int32_t baud;
    speed_t speed;
} termiosSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},    {19200, B19200},
                      {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}};

inline speed_t speedOf(int32_t baud) {
    for (const auto& s : termiosSpeeds)
        if (s.baud == baud) return s.speed;
    return B0;
}

inline int32_t baudOf(speed_t speed) {
    for (const auto& s : termiosSpeeds)
        if (s.speed == speed) return s.baud;
    return 0;
}

}  // namespace lork
