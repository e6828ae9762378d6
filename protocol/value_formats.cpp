#include "protocol/value_formats.h"

#include <cmath>
#include <cstdio>

namespace lork {

namespace {

// printf always writes '.', whatever the C locale; the separator is then swapped.
std::string withSeparator(const char* s, char decSep) {
    std::string out(s);
    for (char& c : out)
        if (c == '.') c = decSep;
    return out;
}

std::string stepRange(uint8_t step, double tew, uint8_t res, double base) {
    if (step > 0) return " " + std::to_string(step);
    if (res == 0) return stepTextNoRes;
    // tew is at most 6553.5 (a 16-bit register / 10), so k fits an int.
    double kd = std::trunc(tew / res + base);
    if (!std::isfinite(kd)) return stepTextNoRes;
    long long k = static_cast<long long>(kd);
    return std::to_string(k) + "-" + std::to_string(k + 1);
}

}  // namespace

std::string numberFormat(double v, char decSep) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%8.3f", v);
    return withSeparator(buf, decSep);
}

std::string pulseText(uint32_t imp) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lu     (%08lX hex)", static_cast<unsigned long>(imp),
                  static_cast<unsigned long>(imp));
    return buf;
}

std::string decimalFloat(double v, char decSep) {
    char buf[64];
    // Register values / 10 stay below 1e15, so %g never switches to an exponent here;
    // larger values still get a correct (exponent) text rather than a wrong one.
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return withSeparator(buf, decSep);
}

std::string stepText(uint8_t step, double tew, uint8_t res) {
    return stepRange(step, tew, res, 1.0);
}

std::string stepTextClick(uint8_t step, double tew, uint8_t res) {
    return stepRange(step, tew, res, 0.0);
}

}  // namespace lork
