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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/monotonic.h"
#include "platform/linux/termios_speed.h"
#include "sim/instrument_model.h"
#include "sim/options.h"
#include "sim/wire_timing.h"

using lork::monotonicUs;
using lork::sim::InstrumentModel;
using lork::sim::Options;
using lork::sim::SimLine;

namespace {

volatile sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

void sleepUntilUs(int64_t t) {
    timespec ts{time_t(t / 1'000'000), long((t % 1'000'000) * 1000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR && !gStop) {
    }
}

using lork::baudOf;
using lork::speedOf;

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
    const bool parityOk = s.parity == l.parity || (s.parity == kNoneOrEven && l.parity != 2);
    return s.baud == l.baud() && parityOk && s.stopbits == l.stopbit;
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

// The pseudo-terminal the master opens: its master side, read and written
// here, and its slave side, held open so that the master stays readable
// between the client's sessions and the line settings the client made stay.
struct Terminal {
    int master = -1, slave = -1;
    std::string path;
};

// Opens the terminal at the model's line settings and links linkPath to it;
// false after saying why.
bool openTerminal(const Options& o, const SimLine& line, Terminal& t) {
    t.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0) {
        std::perror("lork-sim: pseudo-terminal");
        return false;
    }
    t.path = ptsname(t.master);
    t.slave = open(t.path.c_str(), O_RDWR | O_NOCTTY);
    if (t.slave < 0) {
        std::perror("lork-sim: open slave");
        return false;
    }
    configureRaw(t.slave, line);
    fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK);
    if (!o.linkPath.empty()) {
        unlink(o.linkPath.c_str());
        if (symlink(t.path.c_str(), o.linkPath.c_str()) != 0) {
            std::perror("lork-sim: --link");
            return false;
        }
    }
    return true;
}

// The length of the request that starts rx, once its function says it; 0:
// not known, the frame ends with the silence.
size_t expectedLen(const std::vector<uint8_t>& b) {
    if (b.size() < 2) return 0;
    if (b[1] >= 1 && b[1] <= 4) return 8;
    if (b[1] == 16 && b.size() >= 7) return size_t(9 + b[6]);
    return 0;
}

// Serves the terminal and standard input until a signal or "quit".
class Loop {
public:
    Loop(std::deque<InstrumentModel>& models, const Options& o, const Terminal& t) : models_(models), o_(o), t_(t) {
        sweep_ = o.sweep;
    }
    // sigmask: the signals ppoll lets through while it waits.
    void run(const sigset_t& sigmask);

private:
    void serveFrame(const std::vector<uint8_t>& req);
    void sendReply(const SimLine& l, const lork::sim::Reply& r, int64_t reqEnd);
    std::string command(const std::string& line);
    void readLine();
    void readCommands();

    std::deque<InstrumentModel>& models_;  // one per address, all on the one line
    const Options& o_;
    const Terminal& t_;
    std::optional<lork::sim::Sweep> sweep_;  // until a resistance command
    const int64_t startUs_ = monotonicUs();
    std::vector<uint8_t> rx_;
    int64_t firstUs_ = 0, lastUs_ = 0;  // the first and the last byte of rx_
    std::string cmdBuf_;
    bool stdinOpen_ = true, quit_ = false;
};

void Loop::serveFrame(const std::vector<uint8_t>& req) {
    termios t{};
    tcgetattr(t_.master, &t);
    const Seen seen = lineOf(t);
    // The instrument the frame is for; a broadcast reaches each (none answers it).
    InstrumentModel* target = nullptr;
    for (auto& m : models_) {
        if (!matches(seen, m.line()) || req.empty()) continue;
        if (req[0] == 0) m.handle(req), m.commitAfterReply();
        else if (!target && m.line().adr == req[0]) target = &m;
    }
    if (!target) {
        if (o_.verbose)
            std::fprintf(stderr, "lork-sim: garbage or no one at %d/%u/%u: %s\n", seen.baud, unsigned(seen.parity),
                         unsigned(seen.stopbits), hex(req).c_str());
        return;
    }
    InstrumentModel& m = *target;
    const SimLine& l = m.line();
    const int64_t ch = lork::sim::charTimeUs(l.baud(), l.parity, l.stopbit);
    if (sweep_) m.setResistance(sweep_->at(double(monotonicUs() - startUs_) / 1e6));
    const lork::sim::Reply r = m.handle(req);
    if (o_.verbose) std::fprintf(stderr, "lork-sim: <- %s\n", hex(req).c_str());
    if (!r.bytes.empty()) sendReply(l, r, firstUs_ + ch * int64_t(req.size()));
    m.commitAfterReply();
}

// A command for every instrument, or for one ("at N ...").
std::string Loop::command(const std::string& line) {
    std::istringstream in(line);
    std::string first, adr;
    in >> first;
    if (first != "at") {
        std::string answer;
        for (auto& m : models_) answer = lork::sim::runCommand(m, line, quit_);
        return answer;
    }
    in >> adr;
    std::string rest;
    std::getline(in, rest);
    for (auto& m : models_)
        if (std::to_string(m.line().adr) == adr && !rest.empty()) return lork::sim::runCommand(m, rest, quit_);
    return "error no instrument at that address";
}

void Loop::sendReply(const SimLine& l, const lork::sim::Reply& r, int64_t reqEnd) {
    const int64_t ch = lork::sim::charTimeUs(l.baud(), l.parity, l.stopbit);
    int64_t start = o_.pace ? reqEnd + lork::sim::frameSilenceUs(l.baud(), l.parity, l.stopbit) : monotonicUs();
    if (r.late) start = reqEnd + lork::sim::lateReplyStartUs(l.scor_code);
    const int master = t_.master;
    if (o_.pace) {
        for (size_t i = 0; i < r.bytes.size() && !gStop; ++i) {
            sleepUntilUs(start + int64_t(i + 1) * ch);
            while (write(master, &r.bytes[i], 1) < 0 && errno == EAGAIN) sleepUntilUs(monotonicUs() + 200);
        }
    } else {
        sleepUntilUs(start);
        size_t off = 0;
        while (off < r.bytes.size() && !gStop) {
            const ssize_t n = write(master, r.bytes.data() + off, r.bytes.size() - off);
            if (n > 0) off += size_t(n);
            else if (errno == EAGAIN) sleepUntilUs(monotonicUs() + 200);
            else break;
        }
    }
    if (o_.verbose) std::fprintf(stderr, "lork-sim: -> %s%s\n", hex(r.bytes).c_str(), r.late ? "(late)" : "");
}

void Loop::readLine() {
    uint8_t buf[256];
    const ssize_t n = read(t_.master, buf, sizeof buf);
    if (n <= 0) return;
    const int64_t t = monotonicUs();
    if (rx_.empty()) firstUs_ = t;
    lastUs_ = t;
    rx_.insert(rx_.end(), buf, buf + n);
    // Serve as soon as a frame of the expected length is complete.
    for (size_t want = expectedLen(rx_); want && rx_.size() >= want; want = expectedLen(rx_)) {
        const std::vector<uint8_t> req(rx_.begin(), rx_.begin() + long(want));
        rx_.erase(rx_.begin(), rx_.begin() + long(want));
        serveFrame(req);
        firstUs_ = monotonicUs();
    }
    if (rx_.size() > 256) rx_.clear();
}

void Loop::readCommands() {
    char buf[256];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        stdinOpen_ = false;
        return;
    }
    cmdBuf_.append(buf, size_t(n));
    size_t nl;
    while ((nl = cmdBuf_.find('\n')) != std::string::npos) {
        const std::string lineIn = cmdBuf_.substr(0, nl);
        const std::string answer = command(lineIn);
        if (answer == "ok" && lineIn.rfind("resistance", 0) == 0) sweep_.reset();
        cmdBuf_.erase(0, nl + 1);
        if (!answer.empty()) {
            std::printf("%s\n", answer.c_str());
            std::fflush(stdout);
        }
    }
}

void Loop::run(const sigset_t& sigmask) {
    while (!gStop && !quit_) {
        pollfd fds[2] = {{t_.master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const nfds_t nfds = stdinOpen_ ? 2 : 1;
        timespec to{}, *top = nullptr;
        if (!rx_.empty()) {
            // The frame ends after 3.5 characters of silence, at least 2 ms
            // here since a pseudo-terminal delivers in bursts.
            const SimLine& l = models_.front().line();
            const int64_t silence = std::max<int64_t>(2000, lork::sim::frameSilenceUs(l.baud(), l.parity, l.stopbit));
            const int64_t left = std::max<int64_t>(0, lastUs_ + silence - monotonicUs());
            to = {time_t(left / 1'000'000), long((left % 1'000'000) * 1000)};
            top = &to;
        }
        const int pr = ppoll(fds, nfds, top, &sigmask);
        if (pr < 0) {
            if (errno == EINTR) continue;
            std::perror("lork-sim: poll");
            break;
        }
        if (pr == 0) {
            serveFrame(rx_);
            rx_.clear();
            continue;
        }
        if (fds[0].revents & POLLIN) readLine();
        if (nfds > 1 && (fds[1].revents & (POLLIN | POLLHUP))) readCommands();
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string error;
    switch (lork::sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), lork::sim::LineKind::Pty, o, error)) {
    case lork::sim::Parsed::Help: std::fputs(lork::sim::usageText(lork::sim::LineKind::Pty), stdout); return 0;
    case lork::sim::Parsed::Bad:
        std::fprintf(stderr, "lork-sim: %s\n%s", error.c_str(), lork::sim::usageText(lork::sim::LineKind::Pty));
        return 2;
    case lork::sim::Parsed::Run: break;
    }
    InstrumentModel model;
    if (!lork::sim::applyOptions(o, model, error)) {
        std::fprintf(stderr, "lork-sim: %s\n", error.c_str());
        return 2;
    }

    if (!o.stateFile.empty() && o.addresses.size() > 1) {
        std::fprintf(stderr, "lork-sim: --state keeps one instrument: give one address\n%s",
                     lork::sim::usageText(lork::sim::LineKind::Pty));
        return 2;
    }
    // Each address its own instrument, all alike at the start (faults included).
    std::deque<InstrumentModel> models;
    for (uint8_t adr : o.addresses.empty() ? std::vector<uint8_t>{o.line.adr} : o.addresses) {
        models.push_back(model);
        SimLine own = model.line();
        own.adr = adr;
        models.back().setLine(own);
    }

    Terminal t;
    if (!openTerminal(o, model.line(), t)) return 1;

    sigset_t block, orig;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigprocmask(SIG_BLOCK, &block, &orig);
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    std::printf("%s\n", t.path.c_str());
    std::fflush(stdout);
    Loop(models, o, t).run(orig);

    if (!o.linkPath.empty()) unlink(o.linkPath.c_str());
    close(t.slave);
    close(t.master);
    return 0;
}
