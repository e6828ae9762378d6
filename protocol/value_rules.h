#pragma once
// Plain rules of the parameters and calibration pages: how typed numbers are
// taken, which values a write may send, and how calibration words are shown.
// No Qt here, so the rules are tested without a window.
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "protocol/state.h"

namespace lork {

inline constexpr const char* msgNotNumber = "не могу преобразовать значение";
inline constexpr const char* msgAdrRange = "адрес прибора должен быть от 1 до 247";
inline constexpr const char* msgValueRange = "значение должно быть от 0 до 255";
inline constexpr const char* pulsesSuffix = " импульсов";

// Outcome of taking a value for a write from a field.
struct Taken {
    const char* refusal = nullptr;  // message shown instead of sending; nullptr: send value
    uint16_t value = 0;
};

// The register would carry a different number than the page keeps and shows
// back afterwards, so such a value is refused rather than altered in silence.
// `v` is the field's number as converted, nullopt when it holds none.
inline Taken takeValue(std::optional<int32_t> v, int32_t lo, int32_t hi, const char* rangeMsg) {
    if (!v) return {msgNotNumber, 0};
    if (*v < lo || *v > hi) return {rangeMsg, 0};
    return {nullptr, uint16_t(*v)};
}
// Address to write: 1..247 (0 would be a broadcast nobody answers).
inline Taken takeAddress(std::optional<int32_t> typed) { return takeValue(typed, 1, 247, msgAdrRange); }
// N or U to write: what one byte of the page's own values holds.
inline Taken takeByte(std::optional<int32_t> typed) { return takeValue(typed, 0, 255, msgValueRange); }

// ---- The two rules the parameters page shows: N * R <= 900 Ом, U < N ----

inline constexpr long kMaxChainOhm = 900;
// The most N an instrument holds: one byte of its register.
inline constexpr long kMostKolStep = 255;

// R, N and U as the instrument holds them (or will after a write); nullopt
// where the program does not know the value.
struct StepParams {
    std::optional<long> res, kol_step, por_step;
};
// Which of R, N and U a write changes (bits).
enum StepParam : unsigned { STEP_RES = 1u, STEP_KOL_STEP = 2u, STEP_POR_STEP = 4u };

// The rules p breaks, each as one Russian sentence naming the rule and the
// numbers; empty when they hold. Only a rule of which a written value is a
// part counts: a write answers for what it changes, not for what the
// instrument held before. A value not known counts as the one most
// favourable to the rule, so such a rule is broken only where no value the
// instrument could hold keeps it (N = 0, U = 255).
std::vector<std::string> brokenRules(const StepParams& p, unsigned written);

// An order in which to write the values of `written` one register at a time,
// each write keeping the rules with what the instrument holds by then (an
// instrument checks every write on its own); the order R, N, U when no
// order does. now and target are fully known.
std::vector<StepParam> stepWriteOrder(const StepParams& now, const StepParams& target, unsigned written);

// Four upper-case hexadecimal digits of a 16-bit word.
inline std::string hexWord(uint16_t w) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", unsigned(w));
    return buf;
}
inline uint16_t highWord(uint32_t v) { return uint16_t(v >> 16); }
inline uint16_t lowWord(uint32_t v) { return uint16_t(v & 0xFFFFu); }

// A calibration value three ways: decimal, high word, low word.
struct CalViews {
    std::string dec, hi, lo;
};
inline CalViews calViews(uint32_t v) { return {std::to_string(v), hexWord(highWord(v)), hexWord(lowWord(v))}; }
inline std::string pulsesText(uint32_t v) { return std::to_string(v) + pulsesSuffix; }

// The instrument's pauses for a baud code, ms. The tables' entry 0 repeats
// code 1 and codes past 6 take code 6, as the link itself does.
struct Pauses {
    unsigned bytes, before, after;
};
inline Pauses pausesFor(uint8_t code) {
    const size_t c = code < t_byte.size() ? code : t_byte.size() - 1;
    return {t_byte[c], t_before[c], t_after[c]};
}

// The rate of a baud code; 0 for a code that names none of the six rates
// (an instrument may report a code above 6).
inline int32_t rateOf(uint8_t code) { return code < scor_table.size() ? scor_table[code] : 0; }

// The indicator's 8 characters as the four fields show them, leftmost first
// (Ecal_CI4, CI3, CI2, CI1); a shorter text leaves the later fields short.
inline std::array<std::string, 4> ciPairs(const std::string& text) {
    std::array<std::string, 4> out;
    for (size_t i = 0; i < 4; ++i)
        if (2 * i < text.size()) out[i] = text.substr(2 * i, 2);
    return out;
}

}  // namespace lork
