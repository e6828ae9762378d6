#pragma once
// The texts in which the readings page (and the calibration page) show the
// instrument's values. Qt-free: the caller passes the decimal separator of
// the user's locale.
#include <cstdint>
#include <string>

namespace lork {

// "%8.3f" with the given decimal separator: 25.5 -> "  25,500".
std::string numberFormat(double v, char decSep);

// Decimal digits, five blanks, eight upper-case hex digits: "300     (0000012C hex)".
std::string pulseText(uint32_t imp);

// Shortest decimal form of a register value / 10 (at most 15 significant
// digits, no exponent, no trailing zeros): 25.5 -> "25,5", 30.0 -> "30".
std::string decimalFloat(double v, char decSep);

// What the step field shows while the instrument stands between steps and R
// is 0, so that no range can be computed from the resistance.
inline constexpr const char* stepTextNoRes = "R=0";

// The step field after a full query: " 7" on a step, otherwise the two
// neighbouring steps counted from 1: tew 25.5, res 10 -> "3-4".
std::string stepText(uint8_t step, double tew, uint8_t res);

// The step field after its own single read: the neighbours counted from 0,
// so the same values give "2-3".
std::string stepTextClick(uint8_t step, double tew, uint8_t res);

}  // namespace lork
