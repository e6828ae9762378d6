#include "protocol/value_rules.h"

#include <algorithm>
#include <array>

namespace lork {

namespace {
std::string n(long v) { return std::to_string(v); }
}  // namespace

std::vector<std::string> brokenRules(const StepParams& p, unsigned written) {
    std::vector<std::string> out;
    if ((written & (STEP_RES | STEP_KOL_STEP)) && p.res && p.kol_step && *p.kol_step * *p.res > kMaxChainOhm)
        out.push_back("Не выполняется условие N * R <= 900 Ом: N = " + n(*p.kol_step) + ", R = " + n(*p.res) +
                      ", N * R = " + n(*p.kol_step * *p.res) + " Ом.");
    // Neither value is negative, nor N above one byte.
    if (written & (STEP_KOL_STEP | STEP_POR_STEP)) {
        const std::string rule = "Не выполняется условие U < N: ";
        if (p.kol_step && p.por_step) {
            if (!(*p.por_step < *p.kol_step)) out.push_back(rule + "U = " + n(*p.por_step) + ", N = " + n(*p.kol_step) + ".");
        } else if (p.kol_step) {
            if (*p.kol_step <= 0) out.push_back(rule + "N = " + n(*p.kol_step) + ", U не меньше 0.");
        } else if (p.por_step) {
            if (*p.por_step >= kMostKolStep)
                out.push_back(rule + "U = " + n(*p.por_step) + ", N не больше " + n(kMostKolStep) + ".");
        }
    }
    return out;
}

std::vector<StepParam> stepWriteOrder(const StepParams& now, const StepParams& target, unsigned written) {
    std::array<StepParam, 3> order{STEP_RES, STEP_KOL_STEP, STEP_POR_STEP};
    std::vector<StepParam> fallback;
    for (StepParam s : order)
        if (written & s) fallback.push_back(s);
    // At most six orders of three values: try each.
    do {
        StepParams held = now;
        bool kept = true;
        for (StepParam s : order) {
            if (!(written & s)) continue;
            if (s == STEP_RES) held.res = target.res;
            if (s == STEP_KOL_STEP) held.kol_step = target.kol_step;
            if (s == STEP_POR_STEP) held.por_step = target.por_step;
            if (!brokenRules(held, s).empty()) {
                kept = false;
                break;
            }
        }
        if (kept) {
            std::vector<StepParam> chosen;
            for (StepParam s : order)
                if (written & s) chosen.push_back(s);
            return chosen;
        }
    } while (std::next_permutation(order.begin(), order.end()));
    return fallback;
}

}  // namespace lork
