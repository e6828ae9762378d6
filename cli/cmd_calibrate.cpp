// calibrate 0|100: the calibration page's steps for one point, with the
// operator at the keyboard (or --yes for a bench that connects the reference itself).
#include <cstdio>
#include <iostream>
#include <string>

#include <ctime>

#include "cli/commands.h"
#include "cli/live_state.h"
#include "cli/session.h"
#include "records/calibration_log.h"
#include "protocol/value_rules.h"
#include "protocol/registers.h"

namespace lorkctl {

namespace reg = lork::reg;

namespace {

// The instrument needs this long after the stored value is read before a new
// measurement is worth taking (the page waits as long).
constexpr long kSettleMs = 2000;

std::string ask(const std::string& prompt) {
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) throw Exit{ST_USAGE, "нет ответа оператора (стандартный ввод закрыт; --yes)"};
    return line;
}

bool yes(const std::string& answer) {
    return answer == "д" || answer == "Д" || answer == "да" || answer == "y" || answer == "Y" || answer == "yes";
}

std::string calText(uint32_t v) {
    const auto w = lork::calViews(v);
    return lork::pulsesText(v) + " (" + w.hi + " " + w.lo + " hex)";
}

}  // namespace

int cmdCalibrate(const Options& o) {
    allowOnly(o, {"yes", "force"});
    if (o.words.size() != 1 || (o.words[0] != "0" && o.words[0] != "100"))
        throw Exit{ST_USAGE, "calibrate: точка 0 или 100"};
    const bool hundred = o.words[0] == "100";
    const uint16_t point = hundred ? reg::cal100 : reg::cal0;
    const int percent = hundred ? 100 : 0;
    const bool askOperator = !o.has("yes");
    Session s(o);
    s.openLine();
    auto& dev = s.st().dev;
    // For the calibration log: which instrument this is.
    const Identity id = readIdentity(s);

    s.run(reg::ReadHoldingRegisters, reg::cal_enable, 1);
    if (dev.cal_enable == 0)
        std::fprintf(stderr, "lorkctl: предупреждение: калибровка с ПК запрещена (cal_enable=0), прибор откажет в "
                             "записи; разрешить: lorkctl set cal_enable=1\n");
    s.run(reg::ReadHoldingRegisters, point, 2);
    const uint32_t stored = hundred ? dev.cal100 : dev.cal0;
    std::printf("хранится для %s %%: %s\n", o.words[0].c_str(), calText(stored).c_str());
    std::fflush(stdout);
    // The other point, which the new value must stay on its side of.
    s.run(reg::ReadHoldingRegisters, hundred ? reg::cal0 : reg::cal100, 2);
    const uint32_t other = hundred ? dev.cal0 : dev.cal100;
    if (askOperator)
        ask(std::string("подключите эталон ") + (hundred ? "1000" : "0") + " Ом и нажмите Enter ");
    s.core().link.clock().sleepMs(int(kSettleMs));

    s.run(reg::ReadInputRegisters, reg::izm_imp, 2);
    s.require(s.retried([&] { return s.core().dev.Read_izm(); }));
    // The count written is the one current now, which the measurement block read last.
    const uint32_t measured = dev.izm_imp;
    std::printf("измерено: %s, %.3f %%, %.3f ТЕ\n", calText(measured).c_str(), double(dev.izm_proc),
                double(dev.izm_znach));
    std::fflush(stdout);
    const auto reasons = lork::calib::implausible(percent, measured, dev.izm_proc, other, '.');
    for (const std::string& r : reasons) std::fprintf(stderr, "lorkctl: %s\n", r.c_str());
    if (!reasons.empty() && !o.has("force"))
        throw Exit{ST_IMPLAUSIBLE, "не записано: значение не прошло проверку (--force — записать всё равно)"};
    if (askOperator && !yes(ask("записать " + std::to_string(measured) + " в точку " + o.words[0] + " %? [д/н] "))) {
        std::printf("не записано\n");
        return ST_OK;
    }
    s.run(reg::WriteMultipleRegisters, point, 2, {lork::highWord(measured), lork::lowWord(measured)});
    s.run(reg::ReadHoldingRegisters, point, 2);
    const uint32_t back = hundred ? dev.cal100 : dev.cal0;
    if (back != measured)
        throw Exit{ST_REFUSED, "записано " + std::to_string(measured) + ", прочитано " + std::to_string(back)};
    lork::calib::Record rec;
    rec.when = lork::calib::isoLocal(std::time(nullptr));
    rec.port = s.ls().port_name;
    rec.adr = s.ls().adr;
    rec.name = lork::calib::trimmed(id.name);
    rec.version = lork::calib::trimmed(id.version);
    rec.point = percent;
    rec.before = stored;
    rec.written = measured;
    rec.izm_proc = dev.izm_proc;
    rec.izm_znach = dev.izm_znach;
    rec.doubt = lork::calib::joined(reasons);
    // The instrument holds the new value whatever becomes of the record.
    if (const std::string err = lork::calib::append(lork::calib::defaultPath(), rec); !err.empty())
        std::fprintf(stderr, "lorkctl: %s\n", err.c_str());
    std::printf("%s\n", hundred ? "100% OK!" : "0%  OK!");
    return ST_OK;
}

}  // namespace lorkctl
