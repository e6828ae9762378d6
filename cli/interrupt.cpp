#include "cli/interrupt.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace lorkctl {

namespace {
volatile sig_atomic_t gSignal = 0;

// The record the end by the signal leaves; changed only with the signals held.
int gRecordFd = -1;
std::string gRecordLine;

void dieBy(int sig) {
    if (gRecordFd >= 0) {
        // One write() of a line made beforehand: safe in a signal's handler.
        const ssize_t n = write(gRecordFd, gRecordLine.data(), gRecordLine.size());
        (void)n;  // the program ends by the signal whatever came of it
        gRecordFd = -1;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

void onGraceOver(int) { dieBy(gSignal != 0 ? int(gSignal) : SIGINT); }

void onSignal(int sig) {
    // A second one ends the program at once, through the same record.
    if (gSignal != 0) dieBy(sig);
    gSignal = sig;
    itimerval grace{};
    grace.it_value.tv_sec = kGraceMs / 1000;
    grace.it_value.tv_usec = kGraceMs % 1000 * 1000;
    setitimer(ITIMER_REAL, &grace, nullptr);
}
}  // namespace

// A UTF-8 locale's terminal and arguments are already what the program speaks.
char** prepareConsole(int, char** argv) { return argv; }

void catchInterrupt() {
    struct sigaction sa {};
    sa.sa_handler = onGraceOver;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGALRM, &sa, nullptr);
    sa.sa_handler = onSignal;
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void raiseInterrupt() { dieBy(gSignal != 0 ? int(gSignal) : SIGINT); }

bool interrupted() { return gSignal != 0; }

void sleepUnlessInterrupted(long ms) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + milliseconds(ms);
    while (!interrupted() && steady_clock::now() < end)
        std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(20), end - steady_clock::now()));
}

namespace {
sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGALRM);
    return set;
}
}  // namespace

// Held ones may nest: the outermost lets the signals go.
int gHeld = 0;

SignalsHeld::SignalsHeld() {
    const sigset_t set = endingSignals();
    if (gHeld++ == 0) sigprocmask(SIG_BLOCK, &set, nullptr);
}

SignalsHeld::~SignalsHeld() {
    const sigset_t set = endingSignals();
    if (--gHeld == 0) sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void setInterruptedRecord(int fd, const std::string& line) {
    SignalsHeld held;
    gRecordLine = line;
    gRecordFd = fd;
}

}  // namespace lorkctl
