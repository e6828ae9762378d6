#include "cli/interrupt.h"

#include <signal.h>
#include <sys/time.h>

#include <chrono>
#include <thread>

namespace lorkctl {

namespace {
volatile sig_atomic_t g_signal = 0;

void die_by(int sig) {
    signal(sig, SIG_DFL);
    raise(sig);
}

void on_grace_over(int) { die_by(g_signal != 0 ? int(g_signal) : SIGINT); }

void on_signal(int sig) {
    if (g_signal != 0) die_by(sig);
    g_signal = sig;
    signal(SIGINT, SIG_DFL);
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

}  // namespace lorkctl
