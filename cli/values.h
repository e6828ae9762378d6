#pragma once
// The instrument's settable values: their registers, ranges and the rules of
// the parameters page, shared by set and apply.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/state.h"

namespace lorkctl {

struct Setting {
    const char* key;  // the program's own name
    uint16_t reg;     // holding register
    long lo, hi;      // accepted range
};

// res, kol_step, por_step, light, v_ind, cal_enable: in the order they are written.
const std::vector<Setting>& paramSettings();
// parity, stopbits, baud (as its code), address: in the order they are written, last of all.
const std::vector<Setting>& interfaceSettings();
const Setting* findSetting(const std::string& key);

// A setting's value as the state holds it after a read of its register.
long currentValue(const Setting& s, const lork::State& st);

// "значение res должно быть от 5 до 20"
std::string rangeText(const Setting& s);

using Assignment = std::pair<const Setting*, long>;

// KEY=VALUE words, each range-checked before anything is sent; throws
// Exit(ST_USAGE). interfaceToo admits address, baud (a rate), parity, stopbits.
std::vector<Assignment> parseAssignments(const std::vector<std::string>& words, bool interfaceToo);

}  // namespace lorkctl
