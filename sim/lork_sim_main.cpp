// lork-sim: the instrument simulator on a pseudo-terminal. Prints the path
// of the terminal the master should open as its first line of output, then
// answers Modbus RTU requests made at its own line settings until SIGTERM or
// SIGINT. Commands on standard input change the simulated world while it runs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/instrument_model.h"
#include "sim/sweep.h"
#include "platform/linux/termios_speed.h"
#include "sim/wire_timing.h"

using lork::sim::Fault;
using lork::sim::InstrumentModel;
using lork::sim::SimLine;

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

const char* kUsage =
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

int64_t nowUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

void sleepUntilUs(int64_t t) {
    timespec ts{time_t(t / 1'000'000), long((t % 1'000'000) * 1000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR && !g_stop) {
    }
}

std::optional<long> toLong(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno || *end) return std::nullopt;
    return v;
}

using lork::sim::baudOf;
using lork::sim::speedOf;

// Line settings as the master set them on the terminal (Linux reports the
// slave's termios on the master side). The Linux pty driver clears PARENB
// and forces CS8 on every change, so only odd parity (PARODD survives) can be
// told apart; none and even look the same. Parity codes as the program's:
// 1 even, 2 odd.
constexpr uint8_t kNoneOrEven = 0xFF;
struct Seen {
    int32_t baud;
    uint8_t parity, stopbits;
};
Seen lineOf(const termios& t) {
    Seen s{};
    s.baud = baudOf(cfgetospeed(&t));
    if (t.c_cflag & PARODD) s.parity = 2;
    else if (t.c_cflag & PARENB) s.parity = 1;
    else s.parity = kNoneOrEven;
    s.stopbits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return s;
}
bool matches(const Seen& s, const SimLine& l) {
    const bool parity_ok = s.parity == l.parity || (s.parity == kNoneOrEven && l.parity != 2);
    return s.baud == l.baud() && parity_ok && s.stopbits == l.stopbit;
}

void configureRaw(int fd, const SimLine& line) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(PARENB | PARODD | CSTOPB);
    if (line.parity) t.c_cflag |= PARENB | (line.parity == 2 ? PARODD : 0);
    if (line.stopbit == 2) t.c_cflag |= CSTOPB;
    cfsetspeed(&t, speedOf(line.baud()));
    tcsetattr(fd, TCSANOW, &t);
}

std::string hex(const std::vector<uint8_t>& b) {
    std::string s;
    char buf[4];
    for (uint8_t c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

bool applyFaultSpec(InstrumentModel& m, const std::vector<std::string>& parts, std::string& err) {
    auto f = parts.empty() ? std::nullopt : lork::sim::faultFromName(parts[0]);
    if (!f) return err = "unknown fault", false;
    unsigned times = InstrumentModel::kAlways;
    int arg = -1;
    if (parts.size() > 1) {
        auto n = toLong(parts[1]);
        if (!n || *n < 1) return err = "bad fault count", false;
        times = unsigned(*n);
    }
    if (parts.size() > 2) {
        auto a = toLong(parts[2]);
        // A byte count is any byte; the other arguments are lengths.
        if (!a || *a < 1 || *a > (*f == Fault::ByteCount ? 255 : 64)) return err = "bad fault argument", false;
        arg = int(*a);
    }
    m.setFault(*f, times, arg);
    return true;
}

bool applyException(InstrumentModel& m, const std::vector<std::string>& parts, std::string& err) {
    auto c = parts.empty() ? std::nullopt : toLong(parts[0]);
    if (!c || *c < 1 || *c > 255) return err = "bad exception code", false;
    long n = 1;
    if (parts.size() > 1) {
        auto t = toLong(parts[1]);
        if (!t || *t < 1) return err = "bad exception count", false;
        n = *t;
    }
    m.setException(uint8_t(*c), unsigned(n));
    return true;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) out.push_back(cur);
    return out;
}

// Addresses as "5" or "1,5,7-9", each 1..247 and once; empty when malformed.
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

std::string command(InstrumentModel& m, const std::vector<std::string>& w, bool& quit);

// One command line from standard input for every instrument, or for one
// ("at N ..."); returns the answer.
std::string command(std::deque<InstrumentModel>& models, const std::string& line, bool& quit) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    if (w.empty()) return "";
    if (w[0] == "at") {
        const auto a = w.size() > 2 ? toLong(w[1]) : std::nullopt;
        for (auto& m : models)
            if (a && m.line().adr == *a) return command(m, std::vector<std::string>(w.begin() + 2, w.end()), quit);
        return "error no instrument at that address";
    }
    std::string answer;
    for (auto& m : models) answer = command(m, w, quit);
    return answer;
}

std::string command(InstrumentModel& m, const std::vector<std::string>& w, bool& quit) {
    if (w.empty()) return "";
    std::string err;
    const std::vector<std::string> rest(w.begin() + 1, w.end());
    if (w[0] == "quit") {
        quit = true;
        return "ok";
    }
    if (w[0] == "resistance" && w.size() == 2) {
        char* end = nullptr;
        const double v = std::strtod(w[1].c_str(), &end);
        if (*end || !(v >= 0 && v < 1e7)) return "error bad resistance";
        m.setResistance(v);
        return "ok";
    }
    if (w[0] == "switch" && w.size() == 3) {
        static const char* names[] = {"PR", "ST", "BL", "Z"};
        for (int i = 0; i < 4; ++i)
            if (w[1] == names[i] && (w[2] == "0" || w[2] == "1")) {
                m.setSwitch(lork::sim::SwitchId(i), w[2] == "1");
                return "ok";
            }
        return "error bad switch";
    }
    if (w[0] == "fault") return applyFaultSpec(m, rest, err) ? "ok" : "error " + err;
    if (w[0] == "exception") return applyException(m, rest, err) ? "ok" : "error " + err;
    return "error unknown command";
}

}  // namespace

int main(int argc, char** argv) {
    InstrumentModel model;
    SimLine line;
    std::vector<uint8_t> addresses{line.adr};
    bool pace = false, verbose = false;
    std::string state_file, link_path;
    std::optional<double> resistance;
    std::optional<lork::sim::Sweep> sweep;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lork-sim: %s needs a value\n%s", a.c_str(), kUsage);
                std::exit(2);
            }
            return argv[++i];
        };
        auto bad = [&](const std::string& what) {
            std::fprintf(stderr, "lork-sim: bad %s\n%s", what.c_str(), kUsage);
            std::exit(2);
        };
        std::string err;
        if (a == "--address") {
            addresses = addressList(value());
            if (addresses.empty()) bad("address");
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
        } else if (a == "--pace") {
            pace = true;
        } else if (a == "--verbose") {
            verbose = true;
        } else if (a == "--state") {
            state_file = value();
        } else if (a == "--link") {
            link_path = value();
        } else if (a == "--resistance") {
            const std::string s = value();
            char* end = nullptr;
            const double v = std::strtod(s.c_str(), &end);
            if (*end || !(v >= 0 && v < 1e7)) bad("resistance");
            resistance = v;
        } else if (a == "--sweep") {
            sweep = lork::sim::Parse_sweep(value());
            if (!sweep) bad("sweep");
        } else if (a == "--silent") {
            model.setFault(Fault::Silent);
        } else if (a == "--fault") {
            if (!applyFaultSpec(model, split(value(), ':'), err)) bad("fault: " + err);
        } else if (a == "--exception") {
            if (!applyException(model, split(value(), ':'), err)) bad("exception: " + err);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "lork-sim: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (resistance) model.setResistance(*resistance);
    if (!state_file.empty() && addresses.size() > 1) {
        std::fprintf(stderr, "lork-sim: --state keeps one instrument: give one address\n%s", kUsage);
        return 2;
    }
    line.adr = addresses.front();
    model.setLine(line);
    if (!state_file.empty()) {
        model.setStateFile(state_file);
        if (access(state_file.c_str(), F_OK) == 0) {
            std::string err;
            if (!model.loadState(&err)) {
                std::fprintf(stderr, "lork-sim: %s\n", err.c_str());
                return 2;
            }
        }
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("lork-sim: pseudo-terminal");
        return 1;
    }
    const std::string slave_path = ptsname(master);
    // Holding the slave open keeps the master readable between the client's
    // sessions and keeps the line settings the client made.
    const int slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("lork-sim: open slave");
        return 1;
    }
    // Each address its own instrument, all alike at the start (faults included).
    std::deque<InstrumentModel> models;
    for (uint8_t adr : addresses) {
        models.push_back(model);
        SimLine own = line;
        own.adr = adr;
        models.back().setLine(own);
    }
    configureRaw(slave, line);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    if (!link_path.empty()) {
        unlink(link_path.c_str());
        if (symlink(slave_path.c_str(), link_path.c_str()) != 0) {
            std::perror("lork-sim: --link");
            return 1;
        }
    }

    sigset_t block, orig;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigprocmask(SIG_BLOCK, &block, &orig);
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    std::printf("%s\n", slave_path.c_str());
    std::fflush(stdout);

    std::vector<uint8_t> rx;
    int64_t first_us = 0, last_us = 0;
    const int64_t start_us = nowUs();
    std::string cmd_buf;
    bool stdin_open = true, quit = false;

    auto expectedLen = [](const std::vector<uint8_t>& b) -> size_t {
        if (b.size() < 2) return 0;
        if (b[1] >= 1 && b[1] <= 4) return 8;
        if (b[1] == 16 && b.size() >= 7) return size_t(9 + b[6]);
        return 0;  // unknown: wait for the silence
    };

    auto serveFrame = [&](std::vector<uint8_t> req) {
        termios t{};
        tcgetattr(master, &t);
        const Seen seen = lineOf(t);
        // The instrument the frame is for; a broadcast reaches each (none answers it).
        InstrumentModel* target = nullptr;
        for (auto& m : models) {
            if (!matches(seen, m.line()) || req.empty()) continue;
            if (req[0] == 0) m.handle(req), m.commitAfterReply();
            else if (!target && m.line().adr == req[0]) target = &m;
        }
        if (!target) {
            if (verbose)
                std::fprintf(stderr, "lork-sim: garbage or no one at %d/%u/%u: %s\n", seen.baud, unsigned(seen.parity),
                             unsigned(seen.stopbits), hex(req).c_str());
            return;
        }
        InstrumentModel& m = *target;
        const SimLine& l = m.line();
        const int64_t ch = lork::sim::charTimeUs(l.baud(), l.parity, l.stopbit);
        const int64_t req_end = first_us + ch * int64_t(req.size());
        const uint8_t code = l.scor_code;
        if (sweep) m.setResistance(sweep->at(double(nowUs() - start_us) / 1e6));
        lork::sim::Reply r = m.handle(req);
        if (verbose) std::fprintf(stderr, "lork-sim: <- %s\n", hex(req).c_str());
        if (!r.bytes.empty()) {
            int64_t start = pace ? req_end + lork::sim::frameSilenceUs(l.baud(), l.parity, l.stopbit) : nowUs();
            if (r.late) start = req_end + lork::sim::lateReplyStartUs(code);
            if (pace) {
                for (size_t i = 0; i < r.bytes.size() && !g_stop; ++i) {
                    sleepUntilUs(start + int64_t(i + 1) * ch);
                    while (write(master, &r.bytes[i], 1) < 0 && errno == EAGAIN) sleepUntilUs(nowUs() + 200);
                }
            } else {
                sleepUntilUs(start);
                size_t off = 0;
                while (off < r.bytes.size() && !g_stop) {
                    const ssize_t n = write(master, r.bytes.data() + off, r.bytes.size() - off);
                    if (n > 0) off += size_t(n);
                    else if (errno == EAGAIN) sleepUntilUs(nowUs() + 200);
                    else break;
                }
            }
            if (verbose) std::fprintf(stderr, "lork-sim: -> %s%s\n", hex(r.bytes).c_str(), r.late ? "(late)" : "");
        }
        m.commitAfterReply();
    };

    while (!g_stop && !quit) {
        pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const nfds_t nfds = stdin_open ? 2 : 1;
        timespec to{}, *top = nullptr;
        if (!rx.empty()) {
            // The frame ends after 3.5 characters of silence, at least 2 ms
            // here since a pseudo-terminal delivers in bursts.
            const SimLine& l = models.front().line();
            const int64_t silence = std::max<int64_t>(2000, lork::sim::frameSilenceUs(l.baud(), l.parity, l.stopbit));
            const int64_t left = std::max<int64_t>(0, last_us + silence - nowUs());
            to = {time_t(left / 1'000'000), long((left % 1'000'000) * 1000)};
            top = &to;
        }
        const int pr = ppoll(fds, nfds, top, &orig);
        if (pr < 0) {
            if (errno == EINTR) continue;
            std::perror("lork-sim: poll");
            break;
        }
        if (pr == 0) {
            serveFrame(std::move(rx));
            rx.clear();
            continue;
        }
        if (fds[0].revents & POLLIN) {
            uint8_t buf[256];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                const int64_t t = nowUs();
                if (rx.empty()) first_us = t;
                last_us = t;
                rx.insert(rx.end(), buf, buf + n);
                // Serve as soon as a frame of the expected length is complete.
                for (size_t want = expectedLen(rx); want && rx.size() >= want; want = expectedLen(rx)) {
                    std::vector<uint8_t> req(rx.begin(), rx.begin() + long(want));
                    rx.erase(rx.begin(), rx.begin() + long(want));
                    serveFrame(std::move(req));
                    first_us = nowUs();
                }
                if (rx.size() > 256) rx.clear();
            }
        }
        if (nfds > 1 && (fds[1].revents & (POLLIN | POLLHUP))) {
            char buf[256];
            const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                stdin_open = false;
            } else {
                cmd_buf.append(buf, size_t(n));
                size_t nl;
                while ((nl = cmd_buf.find('\n')) != std::string::npos) {
                    const std::string line_in = cmd_buf.substr(0, nl);
                    const std::string answer = command(models, line_in, quit);
                    if (answer == "ok" && line_in.rfind("resistance", 0) == 0) sweep.reset();
                    cmd_buf.erase(0, nl + 1);
                    if (!answer.empty()) {
                        std::printf("%s\n", answer.c_str());
                        std::fflush(stdout);
                    }
                }
            }
        }
    }
    if (!link_path.empty()) unlink(link_path.c_str());
    close(slave);
    close(master);
    return 0;
}
