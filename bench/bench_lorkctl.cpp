// bench_lorkctl: the whole `lorkctl read`, a process started afresh each time,
// against lork-sim --pace on a pseudo-terminal, measured against the sum of
// its exchanges' budgets.
//
//   bench_lorkctl LORKCTL LORK_SIM [REPEATS=20]
//
// The exchanges are taken from the simulator's own record of the requests of
// one run (--verbose), so the budget follows what lorkctl really sends. Budget
// of one reply transaction: pause_before + request wire time + pause_after +
// t_byte x len_wait + RIT, with the link's per-rate tables. The goal: the
// median run at most 5 % + 50 ms over the sum.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link/link.h"
#include "device/device.h"
#include "support/sim_process.h"

extern char** environ;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One run of the program with its output thrown away; wall time in ms, < 0 on failure.
double run_ms(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) return -1;
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto t1 = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// The budgets of the requests in a simulator log ("lork-sim: <- 05 03 0A 00 00 08 ..").
std::vector<double> budgets(const std::string& log_path, int32_t rate) {
    const uint8_t c = lork::tableCode(lork::Scor_to_code(rate), rate);
    std::ifstream in(log_path);
    std::vector<double> out;
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find("<- ");
        if (at == std::string::npos) continue;
        std::istringstream hex(line.substr(at + 3));
        std::vector<unsigned> bytes;
        unsigned b;
        while (hex >> std::hex >> b) bytes.push_back(b);
        if (bytes.size() < 8) continue;
        const unsigned func = bytes[1], kol = bytes[4] * 256 + bytes[5];
        const unsigned len_wait = func == 16 ? 8 : 2 * kol + 5;
        const double wire_ms = double(bytes.size()) * 10.0 * 1000.0 / rate;
        out.push_back(lork::t_before[c] + wire_ms + lork::t_after[c] + double(lork::t_byte[c]) * len_wait +
                      lork::t_byte[c]);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_lorkctl LORKCTL LORK_SIM [REPEATS]\n");
        return 2;
    }
    const std::string ctl = argv[1], simexe = argv[2];
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    setenv("XDG_CONFIG_HOME", "/nonexistent-lorkctl-bench", 1);  // no settings file: the command line only
    int fail = 0;
    std::printf("| rate | exchanges | budget, ms | lorkctl read, median (max), ms | over budget | limit | failed |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int32_t rate : {9600, 115200}) {
        char log_path[] = "/tmp/bench_lorkctl_XXXXXX";
        const int log_fd = mkstemp(log_path);
        // The simulator writes its record to our standard error: point it at the log while it starts.
        const int saved = dup(STDERR_FILENO);
        dup2(log_fd, STDERR_FILENO);
        lork::test::SimProcess sim;
        std::string why;
        const bool started = sim.start(simexe, {"--pace", "--verbose", "--baud", std::to_string(rate)}, &why);
        dup2(saved, STDERR_FILENO);
        close(saved);
        close(log_fd);
        if (!started) {
            std::fprintf(stderr, "lork-sim: %s\n", why.c_str());
            return 1;
        }
        const std::vector<std::string> args{ctl, "read", "--port", sim.path(), "--baud", std::to_string(rate)};
        if (run_ms(args) < 0) {
            std::fprintf(stderr, "lorkctl read failed at %d\n", int(rate));
            return 1;
        }
        const auto b = budgets(log_path, rate);
        double budget = 0;
        for (double x : b) budget += x;
        // A run that fails (a reply cut short on a loaded machine) is counted, not timed.
        std::vector<double> times;
        int failed = 0;
        for (int i = 0; i < repeats; ++i) {
            const double t = run_ms(args);
            if (t < 0)
                ++failed;
            else
                times.push_back(t);
        }
        if (times.empty()) {
            std::fprintf(stderr, "every lorkctl read failed at %d\n", int(rate));
            return 1;
        }
        sim.stop();
        unlink(log_path);
        const double med = median(times), worst = *std::max_element(times.begin(), times.end());
        const double limit = budget * 1.05 + 50;
        std::printf("| %d | %zu | %.1f | %.1f (%.1f) | %+.1f | %.1f | %d |\n", int(rate), b.size(), budget, med,
                    worst, med - budget, limit, failed);
        if (med > limit) fail = 1;
    }
    return fail;
}
