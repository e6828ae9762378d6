#include "cli/interrupt.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace lorkctl {

namespace {
volatile sig_atomic_t g_signal = 0;

// The record the end by the signal leaves; changed only with the signals held.
int g_record_fd = -1;
std::string g_record_line;

void die_by(int sig) {
    if (g_record_fd >= 0) {
        // One write() of a line made beforehand: safe in a signal's handler.
        const ssize_t n = write(g_record_fd, g_record_line.data(), g_record_line.size());
        (void)n;  // the program ends by the signal whatever came of it
        g_record_fd = -1;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

void on_grace_over(int) { die_by(g_signal != 0 ? int(g_signal) : SIGINT); }

void on_signal(int sig) {
    // A second one ends the program at once, through the same record.
    if (g_signal != 0) die_by(sig);
    g_signal = sig;
    itimerval grace{};
    grace.it_value.tv_sec = kGraceMs / 1000;
    grace.it_value.tv_usec = kGraceMs % 1000 * 1000;
    setitimer(ITIMER_REAL, &grace, nullptr);
}
}  // namespace

// A UTF-8 locale's terminal and arguments are already what the program speaks.
char** prepare_console(int, char** argv) { return argv; }

void catch_interrupt() {
    struct sigaction sa {};
    sa.sa_handler = on_grace_over;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGALRM, &sa, nullptr);
    sa.sa_handler = on_signal;
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void raise_interrupt() { die_by(g_signal != 0 ? int(g_signal) : SIGINT); }

bool interrupted() { return g_signal != 0; }

void sleep_unless_interrupted(long ms) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + milliseconds(ms);
    while (!interrupted() && steady_clock::now() < end)
        std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(20), end - steady_clock::now()));
}

namespace {
sigset_t ending_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGALRM);
    return set;
}
}  // namespace

// Held ones may nest: the outermost lets the signals go.
int g_held = 0;

SignalsHeld::SignalsHeld() {
    const sigset_t set = ending_signals();
    if (g_held++ == 0) sigprocmask(SIG_BLOCK, &set, nullptr);
}

SignalsHeld::~SignalsHeld() {
    const sigset_t set = ending_signals();
    if (--g_held == 0) sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void set_interrupted_record(int fd, const std::string& line) {
    SignalsHeld held;
    g_record_line = line;
    g_record_fd = fd;
}

}  // namespace lorkctl
