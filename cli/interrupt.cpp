#include "cli/interrupt.h"

#include <signal.h>

#include <chrono>
#include <thread>

namespace lorkctl {

namespace {
volatile sig_atomic_t g_interrupted = 0;

void on_sigint(int) {
    g_interrupted = 1;
    signal(SIGINT, SIG_DFL);
}
}  // namespace

// A UTF-8 locale's terminal and arguments are already what the program speaks.
char** prepare_console(int, char** argv) { return argv; }

void catch_interrupt() {
    struct sigaction sa {};
    sa.sa_handler = on_sigint;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
}

void raise_interrupt() {
    signal(SIGINT, SIG_DFL);
    raise(SIGINT);
}

bool interrupted() { return g_interrupted != 0; }

void sleep_unless_interrupted(long ms) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + milliseconds(ms);
    while (!interrupted() && steady_clock::now() < end)
        std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(20), end - steady_clock::now()));
}

}  // namespace lorkctl
