#include "cli/values.h"

#include "cli/options.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace reg = lork::reg;

const std::vector<Setting>& paramSettings() {
    // R: the window offers 5..20 ohm; N and U are bytes; the others the
    // instrument's own ranges.
    static const std::vector<Setting> s{
        {"res", reg::res, 5, 20},     {"kol_step", reg::kol_step, 0, 255}, {"por_step", reg::por_step, 0, 255},
        {"light", reg::light, 0, 2},  {"v_ind", reg::v_ind, 1, 3},         {"cal_enable", reg::cal_enable, 0, 1},
    };
    return s;
}

const std::vector<Setting>& interfaceSettings() {
    // The address goes last: every other write still reaches the instrument
    // where it was, and the rate's own echo comes at the old rate.
    static const std::vector<Setting> s{
        {"parity", reg::parity, 0, 2},
        {"stopbits", reg::stopbit, 1, 2},
        {"baud", reg::scor_code, 1, 6},
        {"address", reg::adr, 1, 247},
    };
    return s;
}

const Setting* findSetting(const std::string& key) {
    for (const auto* list : {&paramSettings(), &interfaceSettings()})
        for (const auto& s : *list)
            if (key == s.key) return &s;
    return nullptr;
}

long currentValue(const Setting& s, const lork::State& st) {
    const auto& d = st.dev;
    const auto& ls = st.ls;
    switch (s.reg) {
    case reg::res: return d.res;
    case reg::kol_step: return d.kol_step;
    case reg::por_step: return d.por_step;
    case reg::light: return d.light;
    case reg::cal_enable: return d.cal_enable;
    case reg::v_ind: return d.v_ind;
    case reg::adr: return ls.adr;
    case reg::scor_code: return ls.scor_code;
    case reg::parity: return ls.parity;
    case reg::stopbit: return ls.stopbit;
    default: return -1;
    }
}

std::string rangeText(const Setting& s) {
    return std::string("значение ") + s.key + " должно быть от " + std::to_string(s.lo) + " до " + std::to_string(s.hi);
}

std::vector<Assignment> parseAssignments(const std::vector<std::string>& words, bool interfaceToo) {
    std::vector<Assignment> out;
    for (const auto& w : words) {
        const auto eq = w.find('=');
        if (eq == std::string::npos) throw Exit{ST_USAGE, "ожидалось КЛЮЧ=ЗНАЧЕНИЕ, а не '" + w + "'"};
        const std::string key = w.substr(0, eq), text = w.substr(eq + 1);
        const Setting* set = findSetting(key);
        const bool isInterface = set && set->reg >= reg::adr && set->reg < reg::adr + reg::interfaceCount;
        if (!set || (isInterface && !interfaceToo)) throw Exit{ST_USAGE, "неизвестный ключ '" + key + "'"};
        for (const auto& [s, v] : out)
            if (s == set) throw Exit{ST_USAGE, "ключ '" + key + "' дважды"};
        std::optional<long> v;
        if (key == "baud") {
            if (auto c = rateCode(text)) v = *c;
            if (!v) throw Exit{ST_USAGE, "значение baud должно быть одной из скоростей 4800, 9600, 19200, 38400, 57600, 115200"};
        } else if (key == "parity") {
            if (auto c = parityCode(text)) v = *c;
        } else {
            v = toNumber(text, set->lo, set->hi);
        }
        if (!v) throw Exit{ST_USAGE, rangeText(*set) + ", а не '" + text + "'"};
        out.emplace_back(set, *v);
    }
    return out;
}

}  // namespace lorkctl
