// lork-sim on Windows: the instrument simulator on a COM port (one end of a
// virtual null-modem pair, or a real line to a master on another computer).
// Answers Modbus RTU requests made at its own line settings until Ctrl-C.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/base/console.h"
#include "platform/windows/win32_port.h"
#include "sim/instrument_model.h"
#include "sim/options.h"
#include "sim/wire_timing.h"

using lork::sim::InstrumentModel;
using lork::sim::Options;
using lork::sim::SimLine;

namespace {

volatile LONG gStop = 0;
BOOL WINAPI onCtrl(DWORD) {
    InterlockedExchange(&gStop, 1);
    return TRUE;
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
    lork::consoleTextOutput();
    int argc = 0;
    LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(utf8(wargv[i]));
    LocalFree(wargv);

    using lork::sim::LineKind;
    Options o;
    std::string error;
    switch (lork::sim::parseOptions(std::vector<std::string>(args.begin() + (args.empty() ? 0 : 1), args.end()),
                                    LineKind::ComPort, o, error)) {
    case lork::sim::Parsed::Help: std::fputs(lork::sim::usageText(LineKind::ComPort), stdout); return 0;
    case lork::sim::Parsed::Bad:
        std::fprintf(stderr, "lork-sim: %s\n%s", error.c_str(), lork::sim::usageText(LineKind::ComPort));
        return 2;
    case lork::sim::Parsed::Run: break;
    }
    if (o.portName.empty()) {
        std::fprintf(stderr, "lork-sim: --port is needed on Windows\n%s", lork::sim::usageText(LineKind::ComPort));
        return 2;
    }
    const std::string& port_name = o.portName;
    const bool verbose = o.verbose;
    InstrumentModel model;
    if (!lork::sim::applyOptions(o, model, error)) {
        std::fprintf(stderr, "lork-sim: %s\n", error.c_str());
        return 2;
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
    SetConsoleCtrlHandler(onCtrl, TRUE);
    std::printf("%s\n", port_name.c_str());
    std::fflush(stdout);

    std::vector<uint8_t> frame;
    uint8_t buf[256];
    while (!gStop) {
        const SimLine& l = model.line();
        // A frame ends with 3.5 characters of silence.
        const int64_t gapUs = lork::sim::frameSilenceUs(l.baud(), l.parity, l.stopbit);
        const bool more = port.waitForReadyReadUs(frame.empty() ? 200'000 : gapUs);
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
