#include "cli/live_state.h"

#include <cstdio>

#include "cli/json.h"
#include "platform/cp1251.h"
#include "protocol/registers.h"
#include "protocol/value_formats.h"

namespace lorkctl {

namespace reg = lork::reg;

std::string readLive(Session& s) {
    auto& dev = s.core().dev;
    s.run(reg::ReadDiscreteInputs, reg::sw_PR, reg::inputCount);
    s.run(reg::ReadInputRegisters, reg::ciText, reg::ciCount);
    // Eight characters; the last register read is the colour flag.
    const std::string ci = lork::cp1251ToUtf8(s.st().dev.reg_text.substr(0, 8));
    s.run(reg::ReadHoldingRegisters, reg::v_ind, 1);
    s.run(reg::ReadCoils, reg::kluch_K1, reg::coilCount);
    s.require(s.retried([&] { return dev.Read_params(); }));
    s.require(s.retried([&] { return dev.Read_izm(); }));
    return ci;
}

Identity readIdentity(Session& s) {
    Identity id;
    s.run(reg::ReadInputRegisters, reg::name, reg::nameCount);
    id.name = s.regTextUtf8();
    s.run(reg::ReadInputRegisters, reg::version, reg::versionCount);
    id.version = s.regTextUtf8();
    return id;
}

void readCalibration(Session& s) { s.run(reg::ReadHoldingRegisters, reg::cal0, reg::calibrationCount); }

std::string indicatorView(const std::string& ci) {
    // Pairs of bytes in Windows-1251, so in UTF-8 a pair may be longer than two;
    // the point slot is always ASCII ('.' or ' ').
    std::string out;
    size_t i = 0;
    while (i < ci.size()) {
        size_t n = 1;
        const unsigned char c = static_cast<unsigned char>(ci[i]);
        if (c >= 0xC0) n = c >= 0xE0 ? (c >= 0xF0 ? 4 : 3) : 2;
        out += ci.substr(i, n);
        i += n;
        if (i < ci.size()) {
            if (ci[i] == '.') out += '.';
            ++i;
        }
    }
    return out;
}

namespace {

const char* led(uint8_t lit, uint8_t blinking) { return !lit ? "off" : blinking ? "blinking" : "on"; }
const char* ledRu(uint8_t lit, uint8_t blinking) { return !lit ? "не горит" : blinking ? "мигает" : "горит"; }
const char* viewName(uint8_t v) {
    static const char* const names[] = {"%", "Ом", "ступень"};
    return v >= 1 && v <= 3 ? names[v - 1] : "?";
}
std::string fmt(const char* f, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

}  // namespace

void addLiveJson(JsonObject& j, const lork::State& st, const std::string& ci) {
    const auto& d = st.dev;
    j.add("ci_text", ci)
        .add("indicator", indicatorView(ci))
        .add("ci_flag", long(d.ci_flag))
        .add("v_ind", long(d.v_ind))
        .add("svd_P", led(d.svd_P, d.svd_P_mig))
        .add("svd_K1", led(d.svd_K1, 0))
        .add("svd_K2", led(d.svd_K2, 0))
        .add("svd_I", led(d.svd_I, d.svd_I_mig))
        .add("kluch_K1", long(d.kluch_K1))
        .add("kluch_K2", long(d.kluch_K2))
        .add("sw_PR", long(d.sw_PR))
        .add("sw_ST", long(d.sw_ST))
        .add("sw_BL", long(d.sw_BL))
        .add("sw_Z", long(d.sw_Z))
        .add("res", long(d.res))
        .add("kol_step", long(d.kol_step))
        .add("por_step", long(d.por_step))
        .add("light", long(d.light))
        .add("cal_enable", long(d.cal_enable))
        .add("sum_res", long(d.sum_res))
        .add("proc_dopusk", long(d.proc_dopusk))
        .add("izm_proc", double(d.izm_proc))
        .add("izm_znach", double(d.izm_znach))
        .add("izm_imp", long(d.izm_imp))
        .add("step", long(d.step))
        .add("procw", d.procw)
        .add("tew", d.tew);
}

std::string liveLines(const lork::State& st, const std::string& ci) {
    const auto& d = st.dev;
    std::string t;
    t += "индикатор: \"" + indicatorView(ci) + "\", цвет: " + (d.ci_flag ? "флаг" : "обычный") + "\n";
    t += "вид индикации: " + std::to_string(d.v_ind) + " (" + viewName(d.v_ind) + ")\n";
    t += std::string("светодиоды: P ") + ledRu(d.svd_P, d.svd_P_mig) + ", K1 " + ledRu(d.svd_K1, 0) + ", K2 " +
         ledRu(d.svd_K2, 0) + ", I " + ledRu(d.svd_I, d.svd_I_mig) + "\n";
    t += std::string("ключи: K1 ") + (d.kluch_K1 ? "включен" : "выключен") + ", K2 " +
         (d.kluch_K2 ? "включен" : "выключен") + "\n";
    auto sw = [](uint8_t on) { return on ? "вкл" : "выкл"; };
    t += std::string("переключатели: PR ") + sw(d.sw_PR) + ", ST " + sw(d.sw_ST) + ", BL " + sw(d.sw_BL) + ", Z " +
         sw(d.sw_Z) + "\n";
    t += "R=" + std::to_string(d.res) + " Ом, N=" + std::to_string(d.kol_step) + ", U=" + std::to_string(d.por_step) +
         ", N*R=" + std::to_string(d.sum_res) + " Ом, допуск " + std::to_string(d.proc_dopusk) + " %\n";
    t += "яркость: " + std::to_string(d.light) + "\n";
    t += "измерено: " + fmt("%.3f", d.izm_proc) + " %, " + fmt("%.3f", d.izm_znach) + " ТЕ\n";
    t += "импульсы: " + lork::pulseText(d.izm_imp) + "\n";
    t += "ступень: " + lork::stepText(d.step, d.tew, d.res) + "\n";
    return t;
}

std::string liveLine(const lork::State& st, const std::string& ci) {
    const auto& d = st.dev;
    return "инд=\"" + indicatorView(ci) + "\"" + (d.ci_flag ? " флаг" : "") + " %=" + fmt("%.3f", d.izm_proc) +
           " ТЕ=" + fmt("%.3f", d.izm_znach) + " имп=" + std::to_string(d.izm_imp) +
           " ступень=" + lork::stepText(d.step, d.tew, d.res) + " K1=" + std::to_string(d.kluch_K1) +
           " K2=" + std::to_string(d.kluch_K2) + " P=" + led(d.svd_P, d.svd_P_mig) + " I=" + led(d.svd_I, d.svd_I_mig) +
           " R=" + std::to_string(d.res) + " N=" + std::to_string(d.kol_step) + " U=" + std::to_string(d.por_step);
}

}  // namespace lorkctl
