// lork-sim on Windows: the instrument simulator on a COM port (one end of a
// virtual null-modem pair, or a real line to a master on another computer).
// Answers Modbus RTU requests made at its own line settings until Ctrl-C.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/windows/win32_port.h"
#include "protocol/state.h"
#include "sim/instrument_model.h"
#include "sim/wire_timing.h"

using lork::sim::InstrumentModel;
using lork::sim::SimLine;

namespace {

volatile LONG g_stop = 0;
BOOL WINAPI on_ctrl(DWORD) {
    InterlockedExchange(&g_stop, 1);
    return TRUE;
}

const char* kUsage =
    "usage: lork-sim --port COMn [options]\n"
    "  --port COMn        the COM port the master's line arrives on\n"
    "  --address N        slave address 1..247 (5)\n"
    "  --baud RATE        4800 9600 19200 38400 57600 115200 (9600)\n"
    "  --parity 0|1|2     none, even, odd (0)\n"
    "  --stopbits 1|2     (1)\n"
    "  --state FILE       keep calibration and parameters in FILE across runs\n"
    "  --resistance OHM   measured resistance (255)\n"
    "  --verbose          log every frame to standard error\n";

std::optional<long> toLong(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end) return std::nullopt;
    return v;
}

std::string utf8(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

void dump(const char* what, const uint8_t* b, size_t n) {
    std::fprintf(stderr, "%s", what);
    for (size_t i = 0; i < n; ++i) std::fprintf(stderr, " %02X", b[i]);
    std::fprintf(stderr, "\n");
}

}  // namespace

int main() {
    lork::Console_text_output();
    int argc = 0;
    LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(utf8(wargv[i]));
    LocalFree(wargv);

    InstrumentModel model;
    SimLine line;
    std::string port_name, state_file;
    std::optional<double> resistance;
    bool verbose = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "lork-sim: %s needs a value\n%s", a.c_str(), kUsage);
                std::exit(2);
            }
            return args[++i];
        };
        auto bad = [&](const char* what) {
            std::fprintf(stderr, "lork-sim: bad %s\n%s", what, kUsage);
            std::exit(2);
        };
        if (a == "--port") {
            port_name = value();
        } else if (a == "--address") {
            auto v = toLong(value());
            if (!v || *v < 1 || *v > 247) bad("address");
            line.adr = uint8_t(*v);
        } else if (a == "--baud") {
            auto v = toLong(value());
            uint8_t code = 0;
            for (uint8_t c = 1; c <= 6; ++c)
                if (v && lork::scor_table[c] == *v) code = c;
            if (!code) bad("baud rate");
            line.scor_code = code;
        } else if (a == "--parity") {
            auto v = toLong(value());
            if (!v || *v < 0 || *v > 2) bad("parity");
            line.parity = uint8_t(*v);
        } else if (a == "--stopbits") {
            auto v = toLong(value());
            if (!v || (*v != 1 && *v != 2)) bad("stop bits");
            line.stopbit = uint8_t(*v);
        } else if (a == "--state") {
            state_file = value();
        } else if (a == "--resistance") {
            char* end = nullptr;
            const std::string s = value();
            const double v = std::strtod(s.c_str(), &end);
            if (*end || !(v >= 0 && v < 1e7)) bad("resistance");
            resistance = v;
        } else if (a == "--verbose") {
            verbose = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "lork-sim: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (port_name.empty()) {
        std::fprintf(stderr, "lork-sim: --port is needed on Windows\n%s", kUsage);
        return 2;
    }
    model.setLine(line);
    if (resistance) model.setResistance(*resistance);
    if (!state_file.empty()) {
        model.setStateFile(state_file);
        std::string err;
        if (GetFileAttributesA(state_file.c_str()) != INVALID_FILE_ATTRIBUTES && !model.loadState(&err)) {
            std::fprintf(stderr, "lork-sim: %s\n", err.c_str());
            return 2;
        }
    }

    lork::Win32Port port;
    auto setup = [&]() -> uint32_t {
        const SimLine& l = model.line();
        lork::LineConfig cfg;
        cfg.baud = l.baud();
        cfg.parity = l.parity;
        cfg.stopbits = l.stopbit;
        return port.configure(cfg);
    };
    if (const uint32_t e = port.open(port_name); e || (e == 0 && setup() != 0)) {
        std::fprintf(stderr, "lork-sim: %s\n", port.describeError(port_name, e ? e : port.lastReadError()).c_str());
        return 1;
    }
    SetConsoleCtrlHandler(on_ctrl, TRUE);
    std::printf("%s\n", port_name.c_str());
    std::fflush(stdout);

    std::vector<uint8_t> frame;
    uint8_t buf[256];
    while (!g_stop) {
        const SimLine& l = model.line();
        // A frame ends with 3.5 characters of silence.
        const int64_t gap_us = lork::sim::frameSilenceUs(l.baud(), l.parity, l.stopbit);
        const bool more = port.waitForReadyReadUs(frame.empty() ? 200'000 : gap_us);
        if (!port.isOpen()) {
            std::fprintf(stderr, "lork-sim: %s\n", port.describeError(port_name, port.lastReadError()).c_str());
            return 1;
        }
        if (more) {
            const size_t n = port.readAvailable(buf, sizeof buf);
            frame.insert(frame.end(), buf, buf + n);
            continue;
        }
        if (frame.empty()) continue;
        if (verbose) dump("rx", frame.data(), frame.size());
        const lork::sim::Reply r = model.handle(frame);
        frame.clear();
        if (!r.bytes.empty()) {
            if (verbose) dump("tx", r.bytes.data(), r.bytes.size());
            port.write(r.bytes.data(), r.bytes.size());
        }
        const bool relined = model.hasPendingLine();
        model.commitAfterReply();
        if (relined) setup();
    }
    return 0;
}
