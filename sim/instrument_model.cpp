#include "sim/instrument_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "platform/base/file_io.h"
#include "protocol/framing.h"
#include "protocol/registers.h"
#include "protocol/state.h"
#include "protocol/value_rules.h"

namespace lork::sim {

namespace {

// Modbus exception codes.
constexpr uint8_t EXC_FUNC = 1, EXC_ADDR = 2, EXC_VALUE = 3, EXC_FAIL = 4;

// Windows-1251 bytes of the instrument's texts.
constexpr char kName[7] = "\xCB\xCE\xD0\xCA-1";             // ЛОРК-1
constexpr char kVersion[11] = "\xE2\xE5\xF0. 1.07 ";        // вер. 1.07

uint16_t textReg(const char* text, unsigned i) {
    return uint16_t((uint8_t(text[2 * i]) << 8) | uint8_t(text[2 * i + 1]));
}

uint32_t floatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Little-endian float in two registers, first register the low word, each
// register's bytes swapped: the data bytes on the wire run from the least to
// the most significant byte of the float.
uint16_t leFloatReg(float f, unsigned half) {
    const uint32_t u = floatBits(f);
    const uint8_t b0 = uint8_t(u >> (16 * half)), b1 = uint8_t(u >> (16 * half + 8));
    return uint16_t((b0 << 8) | b1);
}

uint16_t clampTenths(double v) {
    const double t = std::round(v * 10.0);
    if (!(t > 0)) return 0;  // also NaN
    return t > 65535.0 ? uint16_t(65535) : uint16_t(t);
}

}  // namespace

int32_t SimLine::baud() const { return scor_code <= 6 ? scor_table[scor_code] : 0; }

std::optional<Fault> faultFromName(const std::string& n) {
    static const std::map<std::string, Fault> names{
        {"none", Fault::None},       {"silent", Fault::Silent},     {"stray", Fault::Stray},
        {"late", Fault::Late},       {"badcrc", Fault::BadCrc},     {"otheradr", Fault::OtherAdr},
        {"otherfunc", Fault::OtherFunc}, {"truncate", Fault::Truncate}, {"bytecount", Fault::ByteCount},
        {"extra", Fault::Extra},     {"lostecho", Fault::LostEcho}};
    auto it = names.find(n);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

const char* faultName(Fault f) {
    switch (f) {
        case Fault::None: return "none";
        case Fault::Silent: return "silent";
        case Fault::Stray: return "stray";
        case Fault::Late: return "late";
        case Fault::BadCrc: return "badcrc";
        case Fault::OtherAdr: return "otheradr";
        case Fault::OtherFunc: return "otherfunc";
        case Fault::Truncate: return "truncate";
        case Fault::ByteCount: return "bytecount";
        case Fault::Extra: return "extra";
        case Fault::LostEcho: return "lostecho";
    }
    return "?";
}

std::string indicatorText(double value, int decimals) {
    std::string s;
    bool fits = false;
    for (int d = std::max(decimals, 0); d >= 0 && !fits; --d) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", d, value);
        s = buf;
        fits = std::count_if(s.begin(), s.end(), [](char c) { return c != '.'; }) <= 4;
    }
    if (!fits || !std::isfinite(value)) s = "OL";
    // Each of the four positions is a character followed by its decimal point.
    std::vector<std::string> pos;
    for (char c : s) {
        if (c == '.' && !pos.empty()) pos.back()[1] = '.';
        else pos.push_back(std::string{c, ' '});
    }
    std::string out;
    for (size_t i = pos.size(); i < 4; ++i) out += "  ";
    for (const auto& p : pos) out += p;
    return out;
}

InstrumentModel::InstrumentModel() {
    params_.cal0 = kSensorImp0;
    params_.cal100 = kSensorImp1000;
}

void InstrumentModel::setParams(const SimParams& p) { params_ = p; }

Measurement InstrumentModel::measure() const {
    Measurement m;
    const double imp = kSensorImp0 + ohm_ * (double(kSensorImp1000) - kSensorImp0) / 1000.0;
    m.imp = imp <= 0 ? 0u : imp >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(std::lround(imp));
    const double span = double(params_.cal100) - double(params_.cal0);
    m.calValid = span > 0;
    if (m.calValid) {
        m.proc = (double(m.imp) - params_.cal0) / span * 100.0;
        m.znach = m.proc * 10.0;
    }
    m.procw = clampTenths(m.proc);
    m.tew = clampTenths(m.znach);
    // The step follows from the resistance in tenths, as the master computes it.
    const double tew = m.tew / 10.0;
    const double r = params_.res ? params_.res : 1;
    const double tol = r * params_.proc_dopusk / 100.0;
    const double n = std::round(tew / r);
    const double lastAt = (double(params_.kol_step) - 1.0) * r;
    m.nearStep = unsigned(std::floor(tew / r)) + 1;
    const bool pastChain = tew > lastAt + tol;
    if (!pastChain && std::fabs(tew - n * r) <= tol) m.step = uint8_t(unsigned(n) + 1);
    m.outOfRange = !m.calValid || m.proc < 0 || m.proc > 100.0;
    return m;
}

uint8_t InstrumentModel::coilByte() const {
    const Measurement m = measure();
    const unsigned pos = m.step ? m.step : m.nearStep;
    const bool k1 = !m.outOfRange && pos >= params_.por_step;
    const bool k2 = m.step != 0 && m.step == params_.kol_step;
    const bool ledI = m.outOfRange;
    uint8_t b = 0;
    b |= uint8_t(k1) << reg::kluch_K1;
    b |= uint8_t(k2) << reg::kluch_K2;
    b |= uint8_t(ledI) << reg::svd_I;
    b |= uint8_t(k2) << reg::svd_K2;                          // LED K2 follows its key
    b |= uint8_t(k1) << reg::svd_K1;                          // LED K1 follows its key
    b |= uint8_t(1) << reg::svd_P;                            // LED P: powered
    b |= uint8_t(ledI) << reg::svd_I_mig;                    // I blinks while out of range
    b |= uint8_t(params_.cal_enable != 0) << reg::svd_P_mig;  // P blinks while the PC may calibrate
    return b;
}

uint8_t InstrumentModel::inputByte() const {
    uint8_t b = 0;
    for (unsigned i = 0; i < reg::inputCount; ++i)
        if (!switches_[i]) b |= uint8_t(1u << i);
    return b;
}

std::optional<uint16_t> InstrumentModel::holding(uint16_t at) const {
    const SimParams& p = params_;
    switch (at) {
        case reg::adr: return line_.adr;
        case reg::scor_code: return line_.scor_code;
        case reg::parity: return line_.parity;
        case reg::stopbit: return line_.stopbit;
        case reg::cal0: return uint16_t(p.cal0 >> 16);
        case reg::cal0Low: return uint16_t(p.cal0);
        case reg::cal100: return uint16_t(p.cal100 >> 16);
        case reg::cal100Low: return uint16_t(p.cal100);
        case reg::res: return p.res;
        case reg::kol_step: return p.kol_step;
        case reg::por_step: return p.por_step;
        case reg::light: return p.light;
        case reg::cal_enable: return p.cal_enable;
        case reg::v_ind: return p.v_ind;
        case reg::sum_res: return uint16_t(p.res * p.kol_step);  // whole chain, ohm
        case reg::proc_dopusk: return p.proc_dopusk;
        default: return std::nullopt;
    }
}

std::optional<uint16_t> InstrumentModel::input(uint16_t at) const {
    auto within = [at](uint16_t first, uint16_t count) { return at >= first && at < first + count; };
    if (within(reg::name, reg::nameCount)) return textReg(kName, at - reg::name);
    if (within(reg::version, reg::versionCount)) return textReg(kVersion, at - reg::version);
    if (!within(reg::step, reg::izmCount) && !within(reg::ciText, reg::ciCount)) return std::nullopt;
    const Measurement m = measure();
    if (at >= reg::ciText) {
        if (at == reg::ci_flag) return uint16_t(m.outOfRange ? 1 : 0);
        std::string t;
        if (!m.calValid) t = "- - - - ";
        else if (params_.v_ind == 2) t = indicatorText(m.znach, 1);
        else if (params_.v_ind == 3) {
            // Between steps the lower neighbour is shown with a trailing dash.
            char buf[16];
            if (m.step) std::snprintf(buf, sizeof buf, "%u", unsigned(m.step));
            else std::snprintf(buf, sizeof buf, "%u-", std::min(m.nearStep, 999u));
            t = std::string(2 * (4 - std::strlen(buf)), ' ');
            for (const char* c = buf; *c; ++c) t += std::string{*c, ' '};
        } else t = indicatorText(m.proc, 1);
        return textReg(t.c_str(), at - reg::ciText);
    }
    switch (at) {
        case reg::step: return m.step;
        case reg::izm_proc: return leFloatReg(float(m.proc), 0);
        case reg::izm_procHigh: return leFloatReg(float(m.proc), 1);
        case reg::izm_znach: return leFloatReg(float(m.znach), 0);
        case reg::izm_znachHigh: return leFloatReg(float(m.znach), 1);
        case reg::izm_imp: return uint16_t(m.imp >> 16);
        case reg::izm_impLow: return uint16_t(m.imp);
        case reg::proc: return uint16_t(floatBits(float(m.proc)) >> 16);
        case reg::procLow: return uint16_t(floatBits(float(m.proc)));
        case reg::te: return uint16_t(floatBits(float(m.znach)) >> 16);
        case reg::teLow: return uint16_t(floatBits(float(m.znach)));
        case reg::procw: return m.procw;
        case reg::tew: return m.tew;
        default: return std::nullopt;
    }
}

void InstrumentModel::setFault(Fault f, unsigned times, int arg) {
    fault_ = f;
    faultTimes_ = f == Fault::None ? 0 : times;
    faultArg_ = arg;
}

void InstrumentModel::setException(uint8_t code, unsigned times) {
    excCode_ = code;
    excTimes_ = times;
}

std::vector<uint8_t> InstrumentModel::frame(std::vector<uint8_t> body) const {
    const uint16_t crc = CRC16(body.data(), uint16_t(body.size()));
    body.push_back(uint8_t(crc & 0xFF));
    body.push_back(uint8_t(crc >> 8));
    return body;
}

std::vector<uint8_t> InstrumentModel::exception(uint8_t func, uint8_t code) const {
    return frame({line_.adr, uint8_t(func | reg::exceptionBit), code});
}

Reply InstrumentModel::handle(const uint8_t* f, size_t len) {
    Reply r;
    // The shortest frame is an address, a function and the CRC; the CRC
    // routine covers 64 bytes at most, and so does the instrument's buffer.
    if (len < 4 || len > 64) return r;
    const uint16_t crc = CRC16(f, uint16_t(len - 2));
    if (f[len - 2] != uint8_t(crc & 0xFF) || f[len - 1] != uint8_t(crc >> 8)) return r;
    const bool broadcast = f[0] == 0;
    if (!broadcast && f[0] != line_.adr) return r;
    ++handled_;
    if (!broadcast && excTimes_ > 0) {
        if (excTimes_ != kAlways) --excTimes_;
        r.bytes = exception(f[1], excCode_);
    } else {
        r.bytes = execute(f, len, broadcast);
    }
    if (broadcast) {
        r.bytes.clear();
        commitAfterReply();  // nobody waits for an echo
        return r;
    }
    applyFault(r, f[1]);
    return r;
}

void InstrumentModel::applyFault(Reply& r, uint8_t func) {
    if (faultTimes_ == 0 || fault_ == Fault::None) return;
    if (fault_ == Fault::LostEcho && func != reg::WriteMultipleRegisters) return;
    if (faultTimes_ != kAlways) --faultTimes_;
    switch (fault_) {
        case Fault::None: break;
        case Fault::Silent: r.bytes.clear(); break;
        case Fault::Stray: {
            // 0x00 and 0xFF are never a slave address.
            const int n = faultArg_ > 0 ? std::min(faultArg_, 8) : 2;
            std::vector<uint8_t> junk;
            for (int i = 0; i < n; ++i) junk.push_back(i % 2 ? 0x00 : 0xFF);
            r.bytes.insert(r.bytes.begin(), junk.begin(), junk.end());
            break;
        }
        case Fault::Late: r.late = true; break;
        case Fault::BadCrc: r.bytes.back() ^= 0x5A; break;
        case Fault::OtherAdr: {
            std::vector<uint8_t> body(r.bytes.begin(), r.bytes.end() - 2);
            body[0] = uint8_t(line_.adr == 247 ? 1 : line_.adr + 1);
            r.bytes = frame(std::move(body));
            break;
        }
        case Fault::OtherFunc: {
            std::vector<uint8_t> body(r.bytes.begin(), r.bytes.end() - 2);
            body[1] = uint8_t(func == 7 ? 8 : 7);  // a function nobody asked for
            r.bytes = frame(std::move(body));
            break;
        }
        case Fault::Truncate: {
            const size_t keep = faultArg_ > 0 ? size_t(faultArg_) : std::max<size_t>(2, r.bytes.size() / 2);
            if (keep < r.bytes.size()) r.bytes.resize(keep);
            break;
        }
        // Frames of the wrong form that a CRC check passes: what a master
        // must refuse by their byte count and length.
        case Fault::ByteCount: {
            std::vector<uint8_t> body(r.bytes.begin(), r.bytes.end() - 2);
            if (body[1] & reg::exceptionBit) break;
            if (func == reg::WriteMultipleRegisters)
                body.resize(4);
            else
                body[2] = uint8_t(faultArg_ > 0 ? faultArg_ : 250);
            r.bytes = frame(std::move(body));
            break;
        }
        case Fault::Extra: {
            std::vector<uint8_t> body(r.bytes.begin(), r.bytes.end() - 2);
            body.insert(body.end(), size_t(faultArg_ > 0 ? faultArg_ : 1), uint8_t(0));
            r.bytes = frame(std::move(body));
            break;
        }
        case Fault::LostEcho: r.bytes.clear(); break;
    }
}

std::vector<uint8_t> InstrumentModel::execute(const uint8_t* f, size_t len, bool broadcast) {
    const uint8_t func = f[1];
    if (func == reg::WriteMultipleRegisters) return writeRegs(f, len);
    const bool bits = func == reg::ReadCoils || func == reg::ReadDiscreteInputs;
    const bool regs = func == reg::ReadHoldingRegisters || func == reg::ReadInputRegisters;
    if (!bits && !regs) return exception(func, EXC_FUNC);
    if (broadcast) return {};  // reads are never broadcast
    if (len != 8) return exception(func, EXC_VALUE);
    const uint16_t start = uint16_t((f[2] << 8) | f[3]);
    const uint16_t kol = uint16_t((f[4] << 8) | f[5]);
    return bits ? readBits(func, start, kol) : readRegs(func, start, kol);
}

std::vector<uint8_t> InstrumentModel::readBits(uint8_t func, uint16_t start, uint16_t kol) {
    if (kol < 1 || kol > 2000) return exception(func, EXC_VALUE);
    const bool coils = func == reg::ReadCoils;
    const unsigned have = coils ? reg::coilCount : reg::inputCount;
    if (unsigned(start) + kol > have) return exception(func, EXC_ADDR);
    const uint8_t bits = uint8_t((coils ? coilByte() : inputByte()) >> start);
    const uint8_t mask = uint8_t((1u << kol) - 1u);
    return frame({line_.adr, func, 1, uint8_t(bits & mask)});
}

std::vector<uint8_t> InstrumentModel::readRegs(uint8_t func, uint16_t start, uint16_t kol) {
    if (kol < 1 || kol > 125) return exception(func, EXC_VALUE);
    std::vector<uint8_t> body{line_.adr, func, uint8_t(2 * kol)};
    for (unsigned i = 0; i < kol; ++i) {
        const uint16_t at = uint16_t(start + i);
        const auto v = func == reg::ReadHoldingRegisters ? holding(at) : input(at);
        if (!v || unsigned(start) + i > 0xFFFF) return exception(func, EXC_ADDR);
        body.push_back(uint8_t(*v >> 8));
        body.push_back(uint8_t(*v));
    }
    return frame(std::move(body));
}

std::vector<uint8_t> InstrumentModel::writeRegs(const uint8_t* f, size_t len) {
    const uint8_t func = reg::WriteMultipleRegisters;
    if (len < 9) return exception(func, EXC_VALUE);
    const uint16_t start = uint16_t((f[2] << 8) | f[3]);
    const uint16_t kol = uint16_t((f[4] << 8) | f[5]);
    if (kol < 1 || kol > 123 || f[6] != 2 * kol || len != size_t(9 + 2 * kol)) return exception(func, EXC_VALUE);
    if (unsigned(start) + kol - 1 > 0xFFFF) return exception(func, EXC_ADDR);
    auto value = [&](unsigned i) { return uint16_t((f[7 + 2 * i] << 8) | f[8 + 2 * i]); };
    // Validate everything first so a refused request changes nothing.
    bool touchesCal = false;
    for (unsigned i = 0; i < kol; ++i) {
        const unsigned at = start + i;
        const uint16_t v = value(i);
        bool ok = true;
        switch (at) {
            case reg::adr: ok = v >= 1 && v <= 247; break;
            case reg::scor_code: ok = v >= 1 && v <= 6; break;
            case reg::parity: ok = v <= 2; break;
            case reg::stopbit: ok = v == 1 || v == 2; break;
            case reg::cal0: case reg::cal0Low: case reg::cal100: case reg::cal100Low: touchesCal = true; break;
            case reg::res: case reg::kol_step: ok = v >= 1 && v <= 255; break;
            case reg::por_step: ok = v <= 255; break;
            case reg::light: ok = v <= 2; break;
            case reg::cal_enable: ok = v <= 1; break;
            case reg::v_ind: ok = v >= 1 && v <= 3; break;
            default: return exception(func, EXC_ADDR);  // absent or read-only
        }
        if (!ok) return exception(func, EXC_VALUE);
    }
    // R, N and U as they would be: a write that breaks the rules the
    // instrument keeps (N * R <= 900 ohm, U < N) is refused like a value
    // out of range.
    lork::StepParams nextSteps{params_.res, params_.kol_step, params_.por_step};
    unsigned stepsWritten = 0;
    for (unsigned i = 0; i < kol; ++i) {
        const unsigned at = start + i;
        if (at == reg::res) nextSteps.res = value(i), stepsWritten |= lork::STEP_RES;
        if (at == reg::kol_step) nextSteps.kol_step = value(i), stepsWritten |= lork::STEP_KOL_STEP;
        if (at == reg::por_step) nextSteps.por_step = value(i), stepsWritten |= lork::STEP_POR_STEP;
    }
    if (!lork::brokenRules(nextSteps, stepsWritten).empty()) return exception(func, EXC_VALUE);
    // The EEPROM calibration is only written while the PC is allowed to.
    if (touchesCal && params_.cal_enable == 0) return exception(func, EXC_FAIL);

    SimLine next = pendingLine_.value_or(line_);
    bool lineChanged = false, persist = false;
    for (unsigned i = 0; i < kol; ++i) {
        const unsigned at = start + i;
        const uint16_t v = value(i);
        const uint8_t b = uint8_t(v);
        SimParams& p = params_;
        switch (at) {
            case reg::adr: next.adr = b; lineChanged = true; break;
            case reg::scor_code: next.scor_code = b; lineChanged = true; break;
            case reg::parity: next.parity = b; lineChanged = true; break;
            case reg::stopbit: next.stopbit = b; lineChanged = true; break;
            case reg::cal0: p.cal0 = (p.cal0 & 0xFFFFu) | (uint32_t(v) << 16); break;
            case reg::cal0Low: p.cal0 = (p.cal0 & 0xFFFF0000u) | v; break;
            case reg::cal100: p.cal100 = (p.cal100 & 0xFFFFu) | (uint32_t(v) << 16); break;
            case reg::cal100Low: p.cal100 = (p.cal100 & 0xFFFF0000u) | v; break;
            case reg::res: p.res = b; break;
            case reg::kol_step: p.kol_step = b; break;
            case reg::por_step: p.por_step = b; break;
            case reg::light: p.light = b; break;
            case reg::cal_enable: p.cal_enable = b; break;
            case reg::v_ind: p.v_ind = b; break;
            default: break;
        }
        persist = persist || at >= reg::cal0;  // the interface settings are not kept
    }
    if (lineChanged) pendingLine_ = next;
    if (persist) saveState();
    // The echo still carries the address the request was sent to.
    return frame({line_.adr, func, f[2], f[3], f[4], f[5]});
}

void InstrumentModel::commitAfterReply() {
    if (pendingLine_) line_ = *pendingLine_;
    pendingLine_.reset();
}

// State file: "key value" lines; unknown keys are ignored so older files load.
bool InstrumentModel::saveState() const {
    if (stateFile_.empty()) return true;
    const std::string tmp = stateFile_ + ".tmp";
    {
        std::ofstream out(std::filesystem::path(std::u8string(tmp.begin(), tmp.end())), std::ios::trunc | std::ios::binary);
        if (!out) return false;
        const SimParams& p = params_;
        out << "cal0 " << p.cal0 << "\ncal100 " << p.cal100 << "\ncal_enable " << unsigned(p.cal_enable)
            << "\nres " << unsigned(p.res) << "\nkol_step " << unsigned(p.kol_step) << "\npor_step "
            << unsigned(p.por_step) << "\nlight " << unsigned(p.light) << "\nv_ind " << unsigned(p.v_ind)
            << "\n";
        if (!out.flush()) return false;
    }
    // Replace in one step so a crash never leaves half a file.
    return renameOver(tmp, stateFile_) == 0;
}

bool InstrumentModel::loadState(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    std::ifstream in(std::filesystem::path(std::u8string(stateFile_.begin(), stateFile_.end())));
    if (!in) return fail("cannot read " + stateFile_);
    struct Field {
        uint64_t lo, hi;
        std::function<void(uint64_t)> set;
    };
    SimParams p = params_;
    const std::map<std::string, Field> fields{
        {"cal0", {0, 0xFFFFFFFFu, [&](uint64_t v) { p.cal0 = uint32_t(v); }}},
        {"cal100", {0, 0xFFFFFFFFu, [&](uint64_t v) { p.cal100 = uint32_t(v); }}},
        {"cal_enable", {0, 1, [&](uint64_t v) { p.cal_enable = uint8_t(v); }}},
        {"res", {1, 255, [&](uint64_t v) { p.res = uint8_t(v); }}},
        {"kol_step", {1, 255, [&](uint64_t v) { p.kol_step = uint8_t(v); }}},
        {"por_step", {0, 255, [&](uint64_t v) { p.por_step = uint8_t(v); }}},
        {"light", {0, 2, [&](uint64_t v) { p.light = uint8_t(v); }}},
        {"v_ind", {1, 3, [&](uint64_t v) { p.v_ind = uint8_t(v); }}},
    };
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        std::istringstream ls(line);
        std::string key;
        if (!(ls >> key) || key[0] == '#') continue;
        auto it = fields.find(key);
        if (it == fields.end()) continue;
        uint64_t v;
        std::string rest;
        if (!(ls >> v) || (ls >> rest) || v < it->second.lo || v > it->second.hi)
            return fail(stateFile_ + ":" + std::to_string(n) + ": bad value for " + key);
        it->second.set(v);
    }
    params_ = p;
    return true;
}

}  // namespace lork::sim
