#include "sim/options.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "protocol/state.h"

namespace lork::sim {

namespace {

const char* kPtyUsage =
    "usage: lork-sim [options]\n"
    "  --address N[,M..]  slave address 1..247 (5); several (1,5,7-9): one instrument\n"
    "                     at each, on the one line, each with its own values\n"
    "  --baud RATE        4800 9600 19200 38400 57600 115200 (9600)\n"
    "  --parity 0|1|2     none, even, odd (0)\n"
    "  --stopbits 1|2     (1)\n"
    "  --pace             send replies at wire speed, one character at a time\n"
    "  --state FILE       keep calibration and parameters in FILE across runs\n"
    "  --resistance OHM   measured resistance (255)\n"
    "  --sweep LOW:HIGH:PERIOD  the resistance follows a sine between LOW and HIGH ohm,\n"
    "                     PERIOD seconds long, from the start (until a resistance command)\n"
    "  --link PATH        also make PATH a symbolic link to the terminal\n"
    "  --silent           never answer (same as --fault silent)\n"
    "  --fault KIND[:N[:ARG]]  the next N replies (all when N is omitted) suffer KIND:\n"
    "                     silent, stray (ARG junk bytes, 2), late, badcrc, otheradr,\n"
    "                     otherfunc, truncate (ARG bytes kept, half), bytecount (ARG\n"
    "                     the byte count sent, 250), extra (ARG data bytes added, 1),\n"
    "                     lostecho (a write is done but its echo lost; only writes count)\n"
    "  --exception CODE[:N]    answer the next N requests (1) with exception CODE\n"
    "  --verbose          log every frame to standard error\n"
    "stdin commands: resistance OHM | switch PR|ST|BL|Z 0|1 | fault KIND [N [ARG]] |\n"
    "                exception CODE [N] | quit   (each answered by \"ok\" or \"error ...\");\n"
    "                \"at N COMMAND\" gives it to the instrument at address N only\n";

const char* kComPortUsage =
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
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno || *end) return std::nullopt;
    return v;
}

// A resistance in ohm, 0 <= R < 1e7.
std::optional<double> toResistance(const std::string& s) {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end || !(v >= 0 && v < 1e7)) return std::nullopt;
    return v;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) out.push_back(cur);
    return out;
}

// KIND [N [ARG]], from the command line (colons) or a command (blanks).
bool parseFault(const std::vector<std::string>& parts, FaultSpec& out, std::string& err) {
    auto f = parts.empty() ? std::nullopt : faultFromName(parts[0]);
    if (!f) return err = "unknown fault", false;
    out = FaultSpec{*f, InstrumentModel::kAlways, -1};
    if (parts.size() > 1) {
        auto n = toLong(parts[1]);
        if (!n || *n < 1) return err = "bad fault count", false;
        out.times = unsigned(*n);
    }
    if (parts.size() > 2) {
        auto a = toLong(parts[2]);
        // A byte count is any byte; the other arguments are lengths.
        if (!a || *a < 1 || *a > (*f == Fault::ByteCount ? 255 : 64)) return err = "bad fault argument", false;
        out.arg = int(*a);
    }
    return true;
}

// CODE [N].
bool parseException(const std::vector<std::string>& parts, ExceptionSpec& out, std::string& err) {
    auto c = parts.empty() ? std::nullopt : toLong(parts[0]);
    if (!c || *c < 1 || *c > 255) return err = "bad exception code", false;
    out = ExceptionSpec{uint8_t(*c), 1};
    if (parts.size() > 1) {
        auto t = toLong(parts[1]);
        if (!t || *t < 1) return err = "bad exception count", false;
        out.times = unsigned(*t);
    }
    return true;
}

}  // namespace

const char* usageText(LineKind kind) { return kind == LineKind::Pty ? kPtyUsage : kComPortUsage; }

std::vector<uint8_t> addressList(const std::string& text) {
    std::vector<uint8_t> out;
    for (const std::string& item : split(text, ',')) {
        const auto dash = item.find('-');
        const auto lo = toLong(item.substr(0, dash));
        const auto hi = dash == std::string::npos ? lo : toLong(item.substr(dash + 1));
        if (!lo || !hi || *lo < 1 || *hi > 247 || *lo > *hi) return {};
        for (long a = *lo; a <= *hi; ++a) {
            for (uint8_t b : out)
                if (b == a) return {};
            out.push_back(uint8_t(a));
        }
    }
    return out;
}

Parsed parseOptions(const std::vector<std::string>& args, LineKind kind, Options& out, std::string& error) {
    const bool pty = kind == LineKind::Pty;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::string> missing;
        auto value = [&]() -> std::string {
            if (i + 1 < args.size()) return args[++i];
            missing = a + " needs a value";
            return {};
        };
        std::string bad, err;
        if (a == "--address") {
            out.addresses = addressList(value());
            if (out.addresses.empty() || (!pty && out.addresses.size() > 1)) bad = "address";
            else out.line.adr = out.addresses.front();
        } else if (a == "--baud") {
            auto v = toLong(value());
            const uint8_t code = v && *v > 0 && *v <= INT32_MAX ? Scor_to_code(int32_t(*v)) : 0;
            if (!code) bad = "baud rate";
            else out.line.scor_code = code;
        } else if (a == "--parity") {
            auto v = toLong(value());
            if (!v || *v < 0 || *v > 2) bad = "parity";
            else out.line.parity = uint8_t(*v);
        } else if (a == "--stopbits") {
            auto v = toLong(value());
            if (!v || (*v != 1 && *v != 2)) bad = "stop bits";
            else out.line.stopbit = uint8_t(*v);
        } else if (a == "--state") {
            out.stateFile = value();
        } else if (a == "--resistance") {
            out.resistance = toResistance(value());
            if (!out.resistance) bad = "resistance";
        } else if (a == "--verbose") {
            out.verbose = true;
        } else if (a == "--port" && !pty) {
            out.portName = value();
        } else if (a == "--pace" && pty) {
            out.pace = true;
        } else if (a == "--link" && pty) {
            out.linkPath = value();
        } else if (a == "--sweep" && pty) {
            out.sweep = parseSweep(value());
            if (!out.sweep) bad = "sweep";
        } else if (a == "--silent" && pty) {
            out.fault = FaultSpec{Fault::Silent};
        } else if (a == "--fault" && pty) {
            FaultSpec f;
            if (parseFault(split(value(), ':'), f, err)) out.fault = f;
            else bad = "fault: " + err;
        } else if (a == "--exception" && pty) {
            ExceptionSpec e;
            if (parseException(split(value(), ':'), e, err)) out.exception = e;
            else bad = "exception: " + err;
        } else if (a == "--help" || a == "-h") {
            return Parsed::Help;
        } else {
            error = "unknown option " + a;
            return Parsed::Bad;
        }
        if (missing) {
            error = *missing;
            return Parsed::Bad;
        }
        if (!bad.empty()) {
            error = "bad " + bad;
            return Parsed::Bad;
        }
    }
    return Parsed::Run;
}

bool applyOptions(const Options& o, InstrumentModel& m, std::string& error) {
    m.setLine(o.line);
    if (o.resistance) m.setResistance(*o.resistance);
    if (o.fault) m.setFault(o.fault->kind, o.fault->times, o.fault->arg);
    if (o.exception) m.setException(o.exception->code, o.exception->times);
    if (o.stateFile.empty()) return true;
    m.setStateFile(o.stateFile);
    // A file not there yet is made by the first change worth keeping.
    std::error_code ec;
    const std::filesystem::path path(std::u8string(o.stateFile.begin(), o.stateFile.end()));
    return !std::filesystem::exists(path, ec) || m.loadState(&error);
}

std::string runCommand(InstrumentModel& m, const std::string& line, bool& quit) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    if (w.empty()) return "";
    std::string err;
    const std::vector<std::string> rest(w.begin() + 1, w.end());
    if (w[0] == "quit") {
        quit = true;
        return "ok";
    }
    if (w[0] == "resistance" && w.size() == 2) {
        const auto v = toResistance(w[1]);
        if (!v) return "error bad resistance";
        m.setResistance(*v);
        return "ok";
    }
    if (w[0] == "switch" && w.size() == 3) {
        static const char* names[] = {"PR", "ST", "BL", "Z"};
        for (int i = 0; i < 4; ++i)
            if (w[1] == names[i] && (w[2] == "0" || w[2] == "1")) {
                m.setSwitch(SwitchId(i), w[2] == "1");
                return "ok";
            }
        return "error bad switch";
    }
    if (w[0] == "fault") {
        FaultSpec f;
        if (!parseFault(rest, f, err)) return "error " + err;
        m.setFault(f.kind, f.times, f.arg);
        return "ok";
    }
    if (w[0] == "exception") {
        ExceptionSpec e;
        if (!parseException(rest, e, err)) return "error " + err;
        m.setException(e.code, e.times);
        return "ok";
    }
    return "error unknown command";
}

}  // namespace lork::sim
