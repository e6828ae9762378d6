#include "cli/writes.h"

#include <cstdio>

#include "cli/options.h"
#include "protocol/registers.h"
#include "protocol/value_rules.h"

namespace lorkctl {

namespace reg = lork::reg;

void writeSetting(Session& s, const Setting& set, long value) {
    s.run(reg::WriteMultipleRegisters, set.reg, 1, {uint16_t(value)});
    auto& ls = s.ls();
    switch (set.reg) {
    case reg::adr: ls.adr = uint8_t(value); return;  // the next request goes to the new address
    case reg::scor_code:
        ls.scor_code = uint8_t(value);
        ls.scor = lork::scor_table[size_t(value)];
        break;
    case reg::parity: ls.parity = uint8_t(value); break;
    case reg::stopbit: ls.stopbit = uint8_t(value); break;
    default: return;
    }
    s.openLine();
}

void readParams(Session& s) { s.require(s.retried([&] { return s.core().dev.Read_params(); })); }
void readInterface(Session& s) { s.run(reg::ReadHoldingRegisters, reg::adr, reg::interfaceCount); }

std::string settingValueText(const Setting& set, long value) {
    if (set.reg == reg::scor_code)
        return std::to_string(value >= 1 && value <= 6 ? lork::scor_table[size_t(value)] : 0);
    if (set.reg == reg::parity) return parityName(uint8_t(value));
    return std::to_string(value);
}

void verify(const Session& s, const std::vector<Assignment>& wanted) {
    std::string bad;
    for (const auto& [set, v] : wanted) {
        const long now = currentValue(*set, s.st());
        if (now != v)
            bad += std::string(bad.empty() ? "" : "; ") + set->key + ": записано " + settingValueText(*set, v) +
                   ", прочитано " + settingValueText(*set, now);
    }
    if (!bad.empty()) throw Exit{ST_REFUSED, "не совпало после записи: " + bad};
}

namespace {
lork::StepParams heldSteps(const lork::State& st) { return {st.dev.res, st.dev.kol_step, st.dev.por_step}; }

// Which of R, N, U a setting is; 0 for the others.
unsigned stepOf(const Setting& set) {
    switch (set.reg) {
    case reg::res: return lork::STEP_RES;
    case reg::kol_step: return lork::STEP_KOL_STEP;
    case reg::por_step: return lork::STEP_POR_STEP;
    default: return 0;
    }
}

// R, N, U once the writes are done, and which of them they write.
lork::StepParams stepsAfter(const lork::State& st, const std::vector<Assignment>& writes, unsigned& written) {
    lork::StepParams p = heldSteps(st);
    written = 0;
    for (const auto& [set, v] : writes) {
        const unsigned s = stepOf(*set);
        written |= s;
        if (s == lork::STEP_RES) p.res = v;
        if (s == lork::STEP_KOL_STEP) p.kol_step = v;
        if (s == lork::STEP_POR_STEP) p.por_step = v;
    }
    return p;
}
}  // namespace

void checkRules(const lork::State& st, const std::vector<Assignment>& writes, bool force) {
    unsigned written = 0;
    const auto after = stepsAfter(st, writes, written);
    const auto broken = lork::brokenRules(after, written);
    for (const auto& b : broken) std::fprintf(stderr, "lorkctl: %s%s\n", force ? "предупреждение: " : "", b.c_str());
    if (!force && !broken.empty())
        throw Exit{ST_IMPLAUSIBLE, "не записано: значения нарушают условия страницы параметров (--force — записать всё равно)"};
}

std::vector<Assignment> orderedWrites(const lork::State& st, const std::vector<Assignment>& writes) {
    unsigned written = 0;
    const auto after = stepsAfter(st, writes, written);
    std::vector<Assignment> out;
    for (const auto step : lork::stepWriteOrder(heldSteps(st), after, written))
        for (const auto& w : writes)
            if (stepOf(*w.first) == unsigned(step)) out.push_back(w);
    for (const auto& w : writes)
        if (!stepOf(*w.first)) out.push_back(w);
    return out;
}

}  // namespace lorkctl
