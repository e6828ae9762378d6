#include "protocol/register_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/cp1251.h"

namespace lork::reg {

namespace {

constexpr double kNoMin = 1, kNoMax = 0;  // min > max: no range

// The captions are the window's own where it shows the value; the values
// only hidden fields hold are told by what they are and the field's name.
constexpr Register kTable[] = {
    // Holding registers: the interface.
    {"adr", Space::Holding, adr, 1, Form::LowByte, true, 1, 247, "", "", "адрес"},
    {"scor_code", Space::Holding, scor_code, 1, Form::LowByte, true, 1, 6, "", "", "скорость"},
    {"parity", Space::Holding, parity, 1, Form::LowByte, true, 0, 2, "", "", "паритет"},
    {"stopbit", Space::Holding, stopbit, 1, Form::LowByte, true, 1, 2, "", "", "стопбит"},
    // Holding registers: calibration points, pulses.
    {"cal0", Space::Holding, cal0, 2, Form::U32, true, kNoMin, kNoMax, "имп.", "", "калибровка 0%"},
    {"cal100", Space::Holding, cal100, 2, Form::U32, true, kNoMin, kNoMax, "имп.", "", "калибровка 100%"},
    // Holding registers: parameters.
    {"res", Space::Holding, res, 1, Form::LowByte, true, 5, 20, "Ом", "R", "сопротивление ступени"},
    {"kol_step", Space::Holding, kol_step, 1, Form::LowByte, true, 0, 255, "", "N", "число ступеней"},
    {"por_step", Space::Holding, por_step, 1, Form::LowByte, true, 0, 255, "", "U", "порог ступеней"},
    {"light", Space::Holding, light, 1, Form::LowByte, true, 0, 2, "", "", "яркость свечения"},
    {"cal_enable", Space::Holding, cal_enable, 1, Form::LowByte, true, 0, 1, "", "", "калибровка от ПК"},
    {"v_ind", Space::Holding, v_ind, 1, Form::LowByte, true, 1, 3, "", "", "вид индикации"},
    {"sum_res", Space::Holding, sum_res, 1, Form::Word, false, kNoMin, kNoMax, "Ом", "", "сопротивление цепи"},
    {"proc_dopusk", Space::Holding, proc_dopusk, 1, Form::LowByte, false, kNoMin, kNoMax, "%", "", "допуск"},
    // Input registers: the measurement block.
    {"step", Space::Input, step, 1, Form::LowByte, false, kNoMin, kNoMax, "", "", "Ступень"},
    {"izm_proc", Space::Input, izm_proc, 2, Form::FloatReversed, false, kNoMin, kNoMax, "%", "",
     "Измеренное сопротивление в %"},
    {"izm_znach", Space::Input, izm_znach, 2, Form::FloatReversed, false, kNoMin, kNoMax, "ТЕ", "",
     "Измеренное сопротивление в ТЕ"},
    {"izm_imp", Space::Input, izm_imp, 2, Form::U32, false, kNoMin, kNoMax, "имп.", "", "измерено импульсов"},
    {"proc", Space::Input, proc, 2, Form::Float, false, kNoMin, kNoMax, "%", "", "значение в % (скрытое поле LE_proc)"},
    {"te", Space::Input, te, 2, Form::Float, false, kNoMin, kNoMax, "ТЕ", "", "значение в ТЕ (скрытое поле LE_te)"},
    {"procw", Space::Input, procw, 1, Form::Tenths, false, kNoMin, kNoMax, "%", "", "значение в %, десятые (скрытое поле LE_procw)"},
    {"tew", Space::Input, tew, 1, Form::Tenths, false, kNoMin, kNoMax, "ТЕ", "", "сопротивление в ТЕ, десятые (по нему — ступень)"},
    // Input registers: texts and the indicator's colour.
    {"name", Space::Input, name, nameCount, Form::Text, false, kNoMin, kNoMax, "", "", "имя прибора"},
    {"version", Space::Input, version, versionCount, Form::Text, false, kNoMin, kNoMax, "", "", "версия"},
    {"ci_text", Space::Input, ciText, uint8_t(ciTextLast - ciText + 1), Form::Text, false, kNoMin, kNoMax, "", "",
     "показания ЦИ"},
    {"ci_flag", Space::Input, ci_flag, 1, Form::LowByte, false, kNoMin, kNoMax, "", "", "цвет ЦИ"},
    // Coils.
    {"kluch_K1", Space::Coil, kluch_K1, 1, Form::Bit, false, 0, 1, "", "", "ключ K1"},
    {"kluch_K2", Space::Coil, kluch_K2, 1, Form::Bit, false, 0, 1, "", "", "ключ K2"},
    {"svd_I", Space::Coil, svd_I, 1, Form::Bit, false, 0, 1, "", "", "светодиод I"},
    {"svd_K2", Space::Coil, svd_K2, 1, Form::Bit, false, 0, 1, "", "", "светодиод K2"},
    {"svd_K1", Space::Coil, svd_K1, 1, Form::Bit, false, 0, 1, "", "", "светодиод K1"},
    {"svd_P", Space::Coil, svd_P, 1, Form::Bit, false, 0, 1, "", "", "светодиод P"},
    {"svd_I_mig", Space::Coil, svd_I_mig, 1, Form::Bit, false, 0, 1, "", "", "мигание I"},
    {"svd_P_mig", Space::Coil, svd_P_mig, 1, Form::Bit, false, 0, 1, "", "", "мигание P"},
    // Discrete inputs: a front switch is on when its input is clear.
    {"sw_PR", Space::DiscreteInput, sw_PR, 1, Form::BitClear, false, 0, 1, "", "", "переключатель PR"},
    {"sw_ST", Space::DiscreteInput, sw_ST, 1, Form::BitClear, false, 0, 1, "", "", "переключатель ST"},
    {"sw_BL", Space::DiscreteInput, sw_BL, 1, Form::BitClear, false, 0, 1, "", "", "переключатель BL"},
    {"sw_Z", Space::DiscreteInput, sw_Z, 1, Form::BitClear, false, 0, 1, "", "", "переключатель Z"},
};

bool isBitSpace(Space s) { return s == Space::Coil || s == Space::DiscreteInput; }

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", v & 0xFFFFu);
    return buf;
}

// A number with a point whatever the locale, at most three decimals, no
// trailing zeros.
std::string numberText(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
    if (r.ec != std::errc{}) return "?";
    std::string s(buf, r.ptr);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

float floatOfBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

uint16_t swapBytes(uint16_t w) { return uint16_t((w >> 8) | (w << 8)); }

}  // namespace

uint8_t Register::readFunction() const { return readFunctionOf(space); }

std::span<const Register> table() { return kTable; }

uint8_t readFunctionOf(Space s) {
    switch (s) {
    case Space::Coil: return ReadCoils;
    case Space::DiscreteInput: return ReadDiscreteInputs;
    case Space::Holding: return ReadHoldingRegisters;
    case Space::Input: return ReadInputRegisters;
    }
    return 0;
}

std::optional<Space> spaceOfFunction(uint8_t func) {
    switch (func) {
    case ReadCoils: return Space::Coil;
    case ReadDiscreteInputs: return Space::DiscreteInput;
    case ReadHoldingRegisters: return Space::Holding;
    case ReadInputRegisters: return Space::Input;
    case WriteMultipleRegisters: return Space::Holding;
    default: return std::nullopt;
    }
}

const Register* registerAt(Space s, uint16_t address) {
    for (const Register& r : kTable)
        if (r.space == s && r.address == address) return &r;
    return nullptr;
}

const Register* registerCovering(Space s, uint16_t address) {
    for (const Register& r : kTable)
        if (r.space == s && address >= r.address && address < r.address + r.width) return &r;
    return nullptr;
}

const Register* registerNamed(std::string_view key) {
    for (const Register& r : kTable)
        if (r.name == key || (!r.symbol.empty() && r.symbol == key)) return &r;
    return nullptr;
}

std::optional<double> numberOf(const Register& r, std::span<const uint16_t> w) {
    if (w.size() < r.width) return std::nullopt;
    switch (r.form) {
    case Form::LowByte: return double(w[0] & 0xFFu);
    case Form::Word: return double(w[0]);
    case Form::Tenths: return double(w[0]) / 10.0;
    case Form::U32: return double((uint32_t(w[0]) << 16) | w[1]);
    case Form::Float: return double(floatOfBits((uint32_t(w[0]) << 16) | w[1]));
    case Form::FloatReversed: return double(floatOfBits((uint32_t(swapBytes(w[1])) << 16) | swapBytes(w[0])));
    case Form::Bit: return double(w[0] ? 1 : 0);
    case Form::BitClear: return double(w[0] ? 0 : 1);
    case Form::Text: return std::nullopt;
    }
    return std::nullopt;
}

uint16_t wordValue(const Register& r, uint16_t word) { return r.form == Form::LowByte ? uint16_t(word & 0xFFu) : word; }

std::string valueText(const Register& r, std::span<const uint16_t> w) {
    if (r.form == Form::Text) {
        std::string bytes;
        for (size_t i = 0; i < r.width && i < w.size(); ++i) {
            bytes += char(w[i] >> 8);
            bytes += char(w[i] & 0xFF);
        }
        return "\"" + cp1251ToDisplay(bytes) + "\"";
    }
    const auto v = numberOf(r, w);
    if (!v) return "?";
    std::string s = numberText(*v);
    if (!r.unit.empty()) s += " " + std::string(r.unit);
    return s;
}

std::vector<Decoded> decode(Space s, uint16_t start, std::span<const uint16_t> words) {
    std::vector<Decoded> out;
    size_t i = 0;
    while (i < words.size()) {
        const uint16_t at = uint16_t(start + i);
        const Register* r = registerAt(s, at);
        if (r && i + r->width <= words.size()) {
            const auto w = words.subspan(i, r->width);
            out.push_back({r, at, std::string(r->shownName()) + "=" + valueText(*r, w)});
            i += r->width;
            continue;
        }
        std::string text = isBitSpace(s) ? std::to_string(at) + "=" + std::to_string(words[i] ? 1 : 0)
                                         : hex4(at) + "=" + hex4(words[i]);
        out.push_back({nullptr, at, std::move(text)});
        ++i;
    }
    return out;
}

std::string decodedLine(const std::vector<Decoded>& values) {
    std::string s;
    for (const Decoded& d : values) {
        if (!s.empty()) s += ", ";
        s += d.text;
    }
    return s;
}

}  // namespace lork::reg
