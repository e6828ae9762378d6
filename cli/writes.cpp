#include "cli/writes.h"

#include <cstdio>

#include "cli/options.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace reg = lork::reg;

void write_setting(Session& s, const Setting& set, long value) {
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
    s.open_line();
}

void read_params(Session& s) { s.require(s.retried([&] { return s.core().dev.Read_params(); })); }
void read_interface(Session& s) { s.run(reg::ReadHoldingRegisters, reg::adr, reg::interfaceCount); }

std::string value_text(const Setting& set, long value) {
    if (set.reg == reg::scor_code)
        return std::to_string(value >= 1 && value <= 6 ? lork::scor_table[size_t(value)] : 0);
    if (set.reg == reg::parity) return parity_name(uint8_t(value));
    return std::to_string(value);
}

void verify(const Session& s, const std::vector<Assignment>& wanted) {
    std::string bad;
    for (const auto& [set, v] : wanted) {
        const long now = current_value(*set, s.st());
        if (now != v)
            bad += std::string(bad.empty() ? "" : "; ") + set->key + ": записано " + value_text(*set, v) +
                   ", прочитано " + value_text(*set, now);
    }
    if (!bad.empty()) throw Exit{ST_REFUSED, "не совпало после записи: " + bad};
}

void check_rules(const lork::State& st, const std::vector<Assignment>& a, bool strict) {
    long r = st.dev.res, n = st.dev.kol_step, u = st.dev.por_step;
    bool touched = false;
    for (const auto& [set, v] : a) {
        if (set->reg == reg::res) r = v, touched = true;
        if (set->reg == reg::kol_step) n = v, touched = true;
        if (set->reg == reg::por_step) u = v, touched = true;
    }
    if (!touched) return;
    const auto warnings = rule_warnings(r, n, u);
    for (const auto& w : warnings) std::fprintf(stderr, "lorkctl: %s%s\n", strict ? "" : "предупреждение: ", w.c_str());
    if (strict && !warnings.empty()) throw Exit{ST_USAGE, "--strict: ничего не записано"};
}

}  // namespace lorkctl
