#include "cli/session.h"

#include <cstdio>

#include "cli/port.h"
#include "platform/cp1251.h"
#include "platform/port_factory.h"
#include "platform/base/file_io.h"
#include "platform/private_profile.h"
#include "protocol/settings_file.h"
#include "protocol/registers.h"

namespace lorkctl {

void CliHost::messageBox(const std::string& text) {
    if (!mute) std::fprintf(stderr, "lorkctl: %s\n", text.c_str());
}

bool loadSettingsDefaults(lork::LineSettings& ls) {
    // The window's file; a missing one is not created here, unlike the window.
    const std::string path = lork::settingsPath("testlork");
    int err = 0;
    if (lork::pathKind(path, err) == lork::PathKind::Missing) return false;
    lork::SettingsFile file(path);
    file.open(ls);
    // The window takes "ПОРТ" only when the system lists it; here it is the
    // default whatever it names, as --port would be.
    const lork::PrivateProfile profile(path);
    const std::string port = profile.readString(lork::SettingsFile::sectionLink, "ПОРТ", ls.port_name);
    file.Load_settings(ls, {port}, port);
    return !profile.readString(lork::SettingsFile::sectionLink, "ПОРТ", "").empty();
}

namespace {
lork::LineSettings settingsFor(const Options& o, const std::string& addressOption) {
    lork::LineSettings ls;
    // The built-in default port is the window's guess, never a choice made for lorkctl.
    const bool portKnown = loadSettingsDefaults(ls);
    if (auto p = o.value("port")) ls.port_name = *p;
    else if (!portKnown) throw Exit{ST_USAGE, "порт не задан: укажите --port"};
    if (const std::string problem = lork::portNameProblem(ls.port_name); !problem.empty())
        throw Exit{ST_USAGE, problem};
    if (auto b = o.value("baud")) {
        const auto code = rateCode(*b);
        if (!code) throw Exit{ST_USAGE, "--baud: скорость должна быть одной из 4800, 9600, 19200, 38400, 57600, 115200"};
        ls.scor = lork::scor_table[size_t(*code)];
        ls.scor_code = uint8_t(*code);
    }
    if (auto p = o.value("parity")) {
        const auto code = parityCode(*p);
        if (!code) throw Exit{ST_USAGE, "--parity: none, even или odd (0, 1, 2)"};
        ls.parity = uint8_t(*code);
    }
    if (auto s = o.number("stopbits", 1, 2)) ls.stopbit = uint8_t(*s);
    if (auto a = o.number(addressOption, 1, 247)) ls.adr = uint8_t(*a);
    return ls;
}
}  // namespace

Session::Session(const Options& o, const std::string& addressOption)
    : line_(settingsFor(o, addressOption)), port_(makePort(line_.port_name)), core_(*port_, clock_, host_) {
    core_.st.ls = line_;
    core_.link.responseTimeoutMs = uint32_t(o.number("timeout", 1, 60000).value_or(0));
    retries_ = int(o.number("retries", 0, 100).value_or(0));
}

bool mayRepeat(uint8_t kod, bool write, bool exception) {
    if (kod == 0) return false;
    return !write || (kod != lork::KOD_CRC && !exception);
}

uint8_t Session::retried(const std::function<uint8_t()>& once, bool write) {
    uint8_t kod = once();
    // The fixed transactions give an exception as its code 1..5, or above
    // 14; 13 and 14 are a gateway's word that the instrument did not answer.
    for (int i = 0; i < retries_; ++i) {
        const bool exception = (kod >= 1 && kod <= 5) || kod > lork::KOD_GW_TARGET;
        if (!mayRepeat(kod, write, exception)) break;
        kod = once();
    }
    return kod;
}

void Session::checkPort(uint32_t error) {
    if (error == 0) return;
    // The link reports the last step that failed (configuring a port that
    // never opened says only "not open"); the open's own error is the cause.
    if (const uint32_t openError = port_->reopen(ls().port_name)) error = openError;
    throw Exit{ST_PORT, "порт " + ls().port_name + " не открыть: " + portCause(*port_, ls().port_name, error)};
}

void Session::openLine() {
    // The core's own box text says only that set-up failed; the cause follows here.
    host_.mute = true;
    core_.link.Port_setup(ls().scor_code);
    host_.mute = false;
    checkPort(uint32_t(core_.link.port_setup_error));
}

uint8_t Session::exchange(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values) {
    return retried([&] { return exchangeOnce(func, start, kol, values); }, func == lork::reg::WriteMultipleRegisters);
}

uint8_t Session::exchangeOnce(uint8_t func, uint16_t start, uint16_t kol, const std::vector<uint16_t>& values) {
    // Nobody listens to the exchanges here: a failure is told by require().
    return core_.dev.transact(func, start, kol, values, lork::FailureReport::None);
}

void Session::require(uint8_t kod) {
    if (kod == 0) return;
    lastFailure_ = kod;
    std::string text = lork::Kod_text_dump(st().ex, kod);
    if (kod == lork::KOD_NO_REPLY) {
        const auto& l = ls();
        text += ": нет ответа от адреса " + std::to_string(l.adr) + " (порт " + l.port_name + ", " +
                std::to_string(l.scor) + " бод, паритет " + parityName(l.parity) + ", стопбит " +
                std::to_string(l.stopbit) + ")";
        text += "; " + (noReplyHint_.empty() ? std::string("найти прибор: lorkctl search") : noReplyHint_);
    }
    throw Exit{ST_REFUSED, text};
}

std::string Session::regTextUtf8() const { return lork::cp1251ToUtf8(core_.st.dev.reg_text); }

std::string parityName(uint8_t code) {
    static const char* const names[] = {"none", "even", "odd"};
    return code < 3 ? names[code] : std::to_string(code);
}

}  // namespace lorkctl
