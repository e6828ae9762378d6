#include "device/device.h"

#include <algorithm>
#include <cstring>

#include "protocol/register_table.h"
#include "protocol/registers.h"

namespace lork {

namespace {

uint32_t floatBits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

float bitsFloat(uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

uint32_t withHigh(uint32_t v, uint16_t hi) { return (v & 0x0000FFFFu) | (uint32_t(hi) << 16); }
uint32_t withLow(uint32_t v, uint16_t lo) { return (v & 0xFFFF0000u) | lo; }

// The reply has the form the request asks for (after the common checks).
bool formed(const ExchangeBuffers& ex, uint8_t func, uint16_t kol) {
    return replyFormOk(&ex.paket_suda[1], ex.len_suda, func, kol);
}

// The count of bits the request in paket_tuda asked for with func; 0 when
// it holds no such request.
uint16_t bitsAsked(const ExchangeBuffers& ex, uint8_t func) {
    const auto& q = ex.paket_tuda;
    return ex.len_tuda == 8 && q[2] == func ? uint16_t(q[5] * 256 + q[6]) : 0;
}

uint16_t regAt(const ExchangeBuffers& ex, unsigned i) {
    return uint16_t(ex.paket_suda[4 + 2 * i] * 256 + ex.paket_suda[5 + 2 * i]);
}

}  // namespace

Device::Device(State& st, Link& link, Host& host, ExchangeFeed& feed)
    : st_(st), link_(link), host_(host), feed_(feed) {}

void Device::publish(uint8_t kod, bool probe, FailureReport report) {
    const auto& ex = st_.ex;
    if (kod == KOD_OK && !link_.skipped()) rememberRate();
    ExchangeRecord rec;
    rec.fault = link_.fault();
    if (link_.skipped()) {
        // An exchange its command skipped wrote nothing and is no exchange;
        // the link said so once. Only the first one after a failed set-up
        // stands for that failure, which no exchange recorded yet.
        if (rec.fault != PortFault::Setup) return;
        report = FailureReport::None;
        probe = false;
    } else {
        rec.request.assign(ex.paket_tuda.begin() + 1, ex.paket_tuda.begin() + 1 + std::min<size_t>(ex.len_tuda, 63));
    }
    if (rec.portFailed()) rec.faultText = link_.faultText();
    rec.reply.assign(ex.paket_suda.begin() + 1,
                     ex.paket_suda.begin() + 1 + std::min<size_t>(link_.replyReceived(), 63));
    rec.writeUs = link_.writeUs;
    rec.lastByteUs = link_.lastByteUs;
    rec.kod_rez = kod;
    rec.command = feed_.command();
    rec.probe = probe;
    rec.report = probe ? FailureReport::None : report;
    rec.commandRun = feed_.commandRun();
    feed_.publish(rec);
}

// The instrument answered: whatever asked it (a query, a page's read, a
// probe), it is at this address and rate now, and polling may rely on that as
// on the presence check's record. The address is the one asked: a read of the
// address register may have changed adr already, and the rate is the line's,
// which a read of the rate register does not change.
void Device::rememberRate() {
    const uint8_t code = Scor_to_code(link_.port().config().baud);
    if (code != 0) setFoundScor(st_.found_scor, st_.ex.paket_tuda[1], code);
}

uint8_t Device::transact(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values,
                         FailureReport report) {
    auto& ex = st_.ex;
    ex.zapros_func = func;
    ex.zapros_start = start;
    ex.zapros_kol = kol;
    if (func == reg::WriteMultipleRegisters)
        Zapros_write(start, kol, values);
    else
        readRequest(func, start, kol);
    switch (func) {
    case reg::ReadCoils: ex.kod_rez = Otvet_fn1(); break;
    case reg::ReadDiscreteInputs: ex.kod_rez = Otvet_fn2(); break;
    case reg::ReadHoldingRegisters: ex.kod_rez = Otvet_fn3(start, kol); break;
    case reg::ReadInputRegisters: ex.kod_rez = Otvet_fn4(start, kol); break;
    default: ex.kod_rez = Otvet_fn16(start, kol); break;
    }
    publish(ex.kod_rez, false, report);
    return ex.kod_rez;
}

// --- requests ---

void Device::readRequest(uint8_t func, uint16_t start, uint16_t kol) {
    auto& ex = st_.ex;
    Make_zapros(ex, st_.ls.adr, func, start, kol);
    // One byte more than a register reply holds after its address byte, so
    // the block read ends by the interval time-out.
    ex.len_wait = uint8_t(2 * kol + 5);
    link_.Port_send(ex.paket_tuda, ex.len_tuda);
    link_.Port_receive();
}

void Device::Zapros_read(uint16_t start, uint16_t kol) { readRequest(st_.ex.zapros_func, start, kol); }
void Device::Zapros_fn1(uint16_t start, uint16_t kol) { readRequest(reg::ReadCoils, start, kol); }
void Device::Zapros_fn2(uint16_t start, uint16_t kol) { readRequest(reg::ReadDiscreteInputs, start, kol); }

void Device::Zapros_write1(uint16_t start, uint16_t kol, uint16_t value) {
    Zapros_write(start, kol, std::vector<uint16_t>{value});
}

void Device::Zapros_write(uint16_t start, uint16_t kol, const std::vector<uint16_t>& values) {
    auto& ex = st_.ex;
    Make_zapros_write(ex, st_.ls.adr, start, kol, values);
    ex.len_wait = 8;
    link_.Port_send(ex.paket_tuda, ex.len_tuda);
    link_.Port_receive();
}

// --- reply checks ---
// A reply with a good CRC whose byte count or length is not what the request
// asks for is reported as a malformed reply (8) before anything of it is
// decoded: registers taken from a frame that is not the answer to the request
// (a byte count of 250 for eight registers, a byte more than the count says)
// are garbage, and a partial decode would change the state, even the
// address, behind a failure. The checks of functions 1 and 2 have no
// arguments: they take the count from the request that was sent.

uint8_t Device::Otvet_fn1() {
    const auto& ex = st_.ex;
    if (int c = commonChecks(ex, st_.ls.adr, reg::ReadCoils); c >= 0) return uint8_t(c);
    const uint16_t kol = bitsAsked(ex, reg::ReadCoils);
    if (kol == 0 || !formed(ex, reg::ReadCoils, kol)) return KOD_ECHO;
    const uint8_t d = ex.paket_suda[4];
    auto& dv = st_.dev;
    auto bit = [d](uint16_t n) { return uint8_t((d >> n) & 1u); };
    dv.kluch_K1 = bit(reg::kluch_K1);
    dv.kluch_K2 = bit(reg::kluch_K2);
    dv.svd_I = bit(reg::svd_I);
    dv.svd_K2 = bit(reg::svd_K2);
    dv.svd_K1 = bit(reg::svd_K1);
    dv.svd_P = bit(reg::svd_P);
    dv.svd_I_mig = bit(reg::svd_I_mig);
    dv.svd_P_mig = bit(reg::svd_P_mig);
    return KOD_OK;
}

uint8_t Device::Otvet_fn2() {
    const auto& ex = st_.ex;
    if (int c = commonChecks(ex, st_.ls.adr, reg::ReadDiscreteInputs); c >= 0) return uint8_t(c);
    const uint16_t kol = bitsAsked(ex, reg::ReadDiscreteInputs);
    if (kol == 0 || !formed(ex, reg::ReadDiscreteInputs, kol)) return KOD_ECHO;
    const uint8_t d = ex.paket_suda[4];
    auto& dv = st_.dev;
    // A switch that is on pulls its input low.
    auto on = [d](uint16_t n) { return uint8_t(((d >> n) & 1u) ? 0 : 1); };
    dv.sw_PR = on(reg::sw_PR);
    dv.sw_ST = on(reg::sw_ST);
    dv.sw_BL = on(reg::sw_BL);
    dv.sw_Z = on(reg::sw_Z);
    return KOD_OK;
}

uint8_t Device::Otvet_fn3(uint16_t start, uint16_t kol) {
    const auto& ex = st_.ex;
    if (int c = commonChecks(ex, st_.ls.adr, reg::ReadHoldingRegisters); c >= 0) return uint8_t(c);
    if (!formed(ex, reg::ReadHoldingRegisters, kol)) return KOD_ECHO;
    auto& ls = st_.ls;
    auto& dv = st_.dev;
    uint8_t result = KOD_OK;
    for (unsigned i = 0; i < kol; ++i) {
        const uint16_t value = regAt(ex, i);
        dv.reg_value = value;
        const uint16_t at = uint16_t(start + i);
        const reg::Register* r = reg::registerCovering(reg::Space::Holding, at);
        if (!r) {
            result = KOD_ILLEGAL_ADR;
            continue;
        }
        // A one-register value is its low byte or the whole word, as the table says.
        const uint16_t whole = reg::wordValue(*r, value);
        const auto low = uint8_t(whole);
        switch (at) {
            case reg::adr: ls.adr = low; break;
            case reg::scor_code: ls.scor_code = low; break;
            case reg::parity: ls.parity = low; break;
            case reg::stopbit: ls.stopbit = low; break;
            // The low word replaces its half, so a low word read on its own
            // does not add to whatever the last read left there.
            case reg::cal0: dv.cal0 = uint32_t(value) << 16; break;
            case reg::cal0Low: dv.cal0 = withLow(dv.cal0, value); break;
            case reg::cal100: dv.cal100 = uint32_t(value) << 16; break;
            case reg::cal100Low: dv.cal100 = withLow(dv.cal100, value); break;
            case reg::res: dv.res = low; break;
            case reg::kol_step: dv.kol_step = low; break;
            case reg::por_step: dv.por_step = low; break;
            case reg::light: dv.light = low; break;
            case reg::cal_enable: dv.cal_enable = low; break;
            case reg::v_ind: dv.v_ind = low; break;
            case reg::sum_res: dv.sum_res = whole; break;
            case reg::proc_dopusk: dv.proc_dopusk = low; break;
            default: break;
        }
    }
    return result;
}

uint8_t Device::Otvet_fn4(uint16_t start, uint16_t kol) {
    auto& dv = st_.dev;
    dv.reg_value = 0;
    const auto& ex = st_.ex;
    // A reply found by the second search is still a complete, checked reply,
    // so it is decoded like any other.
    if (int c = commonChecks(ex, st_.ls.adr, reg::ReadInputRegisters); c >= 0) return uint8_t(c);
    if (!formed(ex, reg::ReadInputRegisters, kol)) return KOD_ECHO;
    // The text is what the byte count announces, which is what was asked.
    if (kol > 0) dv.reg_text.assign(reinterpret_cast<const char*>(&ex.paket_suda[4]), ex.paket_suda[3]);
    uint8_t result = KOD_OK;
    for (unsigned i = 0; i < kol; ++i) {
        const uint16_t value = regAt(ex, i);
        const uint16_t swapped = uint16_t(ex.paket_suda[5 + 2 * i] * 256 + ex.paket_suda[4 + 2 * i]);
        dv.reg_value = value;
        const uint16_t at = uint16_t(start + i);
        const reg::Register* r = reg::registerCovering(reg::Space::Input, at);
        // The text registers' words live in reg_text; the gaps between the
        // texts are read with them.
        if (!r || r->form == reg::Form::Text) {
            if (at < reg::name || at > reg::ciTextLast) result = KOD_ILLEGAL_ADR;
            continue;
        }
        const auto low = uint8_t(reg::wordValue(*r, value));
        switch (at) {
            case reg::step: dv.step = low; break;
            // The instrument sends these floats least significant byte first.
            case reg::izm_proc: dv.izm_proc = bitsFloat(swapped); break;
            case reg::izm_procHigh: dv.izm_proc = bitsFloat(withHigh(floatBits(dv.izm_proc), swapped)); break;
            case reg::izm_znach: dv.izm_znach = bitsFloat(swapped); break;
            case reg::izm_znachHigh: dv.izm_znach = bitsFloat(withHigh(floatBits(dv.izm_znach), swapped)); break;
            case reg::izm_imp: dv.izm_imp = uint32_t(value) << 16; break;
            case reg::izm_impLow: dv.izm_imp = withLow(dv.izm_imp, value); break;
            case reg::proc: dv.proc = bitsFloat(uint32_t(value) << 16); break;
            case reg::procLow: dv.proc = bitsFloat(withLow(floatBits(dv.proc), value)); break;
            case reg::te: dv.te = bitsFloat(uint32_t(value) << 16); break;
            case reg::teLow: dv.te = bitsFloat(withLow(floatBits(dv.te), value)); break;
            // Tenths, as the table says.
            case reg::procw: dv.procw = *reg::numberOf(*r, {&value, 1}); break;
            case reg::tew: dv.tew = *reg::numberOf(*r, {&value, 1}); break;
            case reg::ci_flag: dv.ci_flag = low; break;
            default: break;
        }
    }
    return result;
}

uint8_t Device::Otvet_fn16(uint16_t start, uint16_t kol) {
    const auto& ex = st_.ex;
    if (int c = commonChecks(ex, st_.ls.adr, reg::WriteMultipleRegisters); c >= 0) return uint8_t(c);
    if (!formed(ex, reg::WriteMultipleRegisters, kol)) return KOD_ECHO;
    const auto& p = ex.paket_suda;
    if (p[3] * 256 + p[4] != start || p[5] * 256 + p[6] != kol) return KOD_ECHO;
    return KOD_OK;
}

// --- fixed transactions ---

uint8_t Device::fixedRead(uint8_t func, uint16_t start, uint16_t kol) {
    auto& ex = st_.ex;
    ex.zapros_func = func;
    ex.zapros_start = start;
    ex.zapros_kol = kol;
    Zapros_read(start, kol);
    return func == reg::ReadInputRegisters ? Otvet_fn4(start, kol) : Otvet_fn3(start, kol);
}

uint8_t Device::Read_params() { return transact(reg::ReadHoldingRegisters, reg::res, reg::paramsCount); }
uint8_t Device::Read_izm() { return transact(reg::ReadInputRegisters, reg::step, reg::izmCount); }
// The presence probe: kod_rez stays the last value exchange's.
uint8_t Device::Read_adr() {
    const uint8_t kod = fixedRead(reg::ReadHoldingRegisters, reg::adr, 1);
    publish(kod, true, FailureReport::None);
    return kod;
}

uint8_t Device::Probe_adr() {
    auto& ex = st_.ex;
    ex.zapros_func = reg::ReadHoldingRegisters;
    ex.zapros_start = reg::adr;
    ex.zapros_kol = 1;
    Make_zapros(ex, st_.ls.adr, reg::ReadHoldingRegisters, reg::adr, 1);
    const uint8_t s = link_.Send_probe();
    const uint8_t kod = s == 0 ? Otvet_fn3(reg::adr, 1) : uint8_t(s == 2 ? KOD_NO_REPLY : KOD_CUT);
    publish(kod, true, FailureReport::None);
    return kod;
}

// --- baud probes ---

uint8_t Device::Probe_scor(int32_t rate) {
    const auto& ls = st_.ls;
    link_.Port_setup(Scor_to_code(rate));
    if (link_.Port_open(ls.port_name, rate, ls.parity, ls.stopbit, ls.bytesize) != 0) return SCOR_PORT_FAILED;
    const uint8_t r = Probe_adr();
    if (r == KOD_OK) return SCOR_ANSWERED;
    if (r == KOD_TIMEOUT_EXC) return Probe_adr() == KOD_OK ? SCOR_ANSWERED_AGAIN : SCOR_REPEAT_FAILED;
    return SCOR_OTHER_FAILURE;
}

uint8_t Device::Check_scor() {
    const int32_t scor = st_.ls.scor;
    if (scor == 0) {
        host_.messageBox("выберите скорость, не=0");
        return 0;
    }
    const uint8_t r = Probe_scor(scor);
    return (r == SCOR_ANSWERED || r == SCOR_ANSWERED_AGAIN) ? Scor_to_code(scor) : 0;
}

uint8_t Device::Find_scor() {
    const auto& ls = st_.ls;
    for (uint8_t code = 1; code <= 6; ++code) {
        if (onRateTry) onRateTry(scor_table[code]);
        link_.Port_setup(code);
        if (link_.Port_open(ls.port_name, scor_table[code], ls.parity, ls.stopbit, ls.bytesize) == 0 &&
            Probe_adr() == 0)
            return code;
    }
    return 0;
}

}  // namespace lork
