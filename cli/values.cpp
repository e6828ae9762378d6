#include "cli/values.h"

#include "cli/options.h"

namespace lorkctl {

const std::vector<Setting>& param_settings() {
    // R: the window offers 5..20 ohm; N and U are bytes; the others the
    // instrument's own ranges.
    static const std::vector<Setting> s{
        {"res", 0x0A00, 5, 20},   {"kol_step", 0x0A01, 0, 255}, {"por_step", 0x0A02, 0, 255},
        {"light", 0x0A03, 0, 2},  {"v_ind", 0x0A05, 1, 3},      {"cal_enable", 0x0A04, 0, 1},
    };
    return s;
}

const std::vector<Setting>& interface_settings() {
    // The address goes last: every other write still reaches the instrument
    // where it was, and the rate's own echo comes at the old rate.
    static const std::vector<Setting> s{
        {"parity", 0x0802, 0, 2},
        {"stopbits", 0x0803, 1, 2},
        {"baud", 0x0801, 1, 6},
        {"address", 0x0800, 1, 247},
    };
    return s;
}

const Setting* find_setting(const std::string& key) {
    for (const auto* list : {&param_settings(), &interface_settings()})
        for (const auto& s : *list)
            if (key == s.key) return &s;
    return nullptr;
}

long current_value(const Setting& s, const lork::State& st) {
    const auto& d = st.dev;
    const auto& ls = st.ls;
    switch (s.reg) {
    case 0x0A00: return d.res;
    case 0x0A01: return d.kol_step;
    case 0x0A02: return d.por_step;
    case 0x0A03: return d.light;
    case 0x0A04: return d.cal_enable;
    case 0x0A05: return d.v_ind;
    case 0x0800: return ls.adr;
    case 0x0801: return ls.scor_code;
    case 0x0802: return ls.parity;
    case 0x0803: return ls.stopbit;
    default: return -1;
    }
}

std::string range_text(const Setting& s) {
    return std::string("значение ") + s.key + " должно быть от " + std::to_string(s.lo) + " до " + std::to_string(s.hi);
}

std::vector<std::string> rule_warnings(long res, long kol_step, long por_step) {
    std::vector<std::string> w;
    if (kol_step * res > 900)
        w.push_back("не выполняется условие N * R <= 900 Ом: " + std::to_string(kol_step) + " * " +
                    std::to_string(res) + " = " + std::to_string(kol_step * res));
    if (!(por_step < kol_step))
        w.push_back("не выполняется условие U < N: U=" + std::to_string(por_step) + ", N=" + std::to_string(kol_step));
    return w;
}

std::vector<Assignment> parse_assignments(const std::vector<std::string>& words, bool interface_too) {
    std::vector<Assignment> out;
    for (const auto& w : words) {
        const auto eq = w.find('=');
        if (eq == std::string::npos) throw Exit{ST_USAGE, "ожидалось КЛЮЧ=ЗНАЧЕНИЕ, а не '" + w + "'"};
        const std::string key = w.substr(0, eq), text = w.substr(eq + 1);
        const Setting* set = find_setting(key);
        const bool is_interface = set && set->reg < 0x0900;
        if (!set || (is_interface && !interface_too)) throw Exit{ST_USAGE, "неизвестный ключ '" + key + "'"};
        for (const auto& [s, v] : out)
            if (s == set) throw Exit{ST_USAGE, "ключ '" + key + "' дважды"};
        std::optional<long> v;
        if (key == "baud") {
            if (auto c = rate_code(text)) v = *c;
            if (!v) throw Exit{ST_USAGE, "значение baud должно быть одной из скоростей 4800..115200"};
        } else if (key == "parity") {
            if (auto c = parity_code(text)) v = *c;
        } else {
            v = to_number(text, set->lo, set->hi);
        }
        if (!v) throw Exit{ST_USAGE, range_text(*set) + ", а не '" + text + "'"};
        out.emplace_back(set, *v);
    }
    return out;
}

}  // namespace lorkctl
