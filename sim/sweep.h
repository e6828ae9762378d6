#pragma once
// A resistance that moves by itself: a slow sine between two values, for
// demonstrations and plots of a changing measurement.
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace lork::sim {

struct Sweep {
    double low = 0, high = 0, periodS = 1;
    // The resistance so many seconds after the start: low + high over 2 at 0, rising.
    double at(double seconds) const {
        constexpr double kTwoPi = 6.283185307179586;
        return (low + high) / 2 + (high - low) / 2 * std::sin(kTwoPi * seconds / periodS);
    }
};

// "LOW:HIGH:PERIOD" (ohm, ohm, seconds): 0 <= LOW <= HIGH < 1e7, PERIOD > 0.
inline std::optional<Sweep> parseSweep(const std::string& text) {
    Sweep s;
    const char* p = text.c_str();
    char* end = nullptr;
    double* fields[] = {&s.low, &s.high, &s.periodS};
    for (int i = 0; i < 3; ++i) {
        *fields[i] = std::strtod(p, &end);
        if (end == p || *end != (i < 2 ? ':' : '\0')) return std::nullopt;
        p = end + 1;
    }
    if (!(s.low >= 0 && s.low <= s.high && s.high < 1e7 && s.periodS > 0 && std::isfinite(s.periodS)))
        return std::nullopt;
    return s;
}

}  // namespace lork::sim
