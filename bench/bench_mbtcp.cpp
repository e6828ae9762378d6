// bench_mbtcp: `lorkctl read` over mbtcp:// against libmodbus making the
// same reads, each a process started afresh, to a Modbus TCP server on the
// loopback that answers at once: the instrument simulator's model behind
// MBAP, in this process. The reads are taken from the server's record of one
// lorkctl run, so both masters make exactly the same exchanges.
//
//   bench_mbtcp LORKCTL MBTCP_LIBMODBUS [REPEATS=30] [OTHER_LORKCTL]
//
// OTHER_LORKCTL, when given, is timed the same way (an earlier build, for the
// figure before a change). The goal: lorkctl's median within 1.5 x libmodbus's.
//
//   bench_mbtcp --serve SECONDS
//
// only serves, for a look with other tools: prints the port, serves, ends.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/crc16.h"
#include "sim/instrument_model.h"

extern char** environ;

namespace {

using Steady = std::chrono::steady_clock;

struct Server {
    lork::sim::InstrumentModel model;
    int listener = -1;
    int port = 0;
    std::atomic<bool> recording{false};
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> requests;  // unit and PDU, while recording
    double handle_us = 0;                         // time spent answering, all requests
    long handled = 0;
    // Per connection closed: from its first request's arrival to its last
    // reply's sending, ms; the exchanges without the master's start.
    std::vector<double> spans;
    std::atomic<int> closed{0};

    bool start() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 8) != 0) return false;
        socklen_t len = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        std::thread([this] { serve(); }).detach();
        return true;
    }

    static bool read_exact(int fd, uint8_t* p, size_t n) {
        while (n > 0) {
            const ssize_t k = read(fd, p, n);
            if (k <= 0) return false;
            p += k;
            n -= size_t(k);
        }
        return true;
    }

    void serve() {
        for (;;) {
            const int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) continue;
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            uint8_t head[7], body[260];
            Steady::time_point first{}, last{};
            bool any = false;
            while (read_exact(fd, head, 7)) {
                if (!any) first = Steady::now();
                any = true;
                const size_t len = size_t(head[4] << 8 | head[5]);
                if (len < 2 || len > 254 || !read_exact(fd, body, len - 1)) break;
                const auto t0 = Steady::now();
                std::vector<uint8_t> rtu{head[6]};
                rtu.insert(rtu.end(), body, body + len - 1);
                if (recording) {
                    std::lock_guard<std::mutex> lock(mutex);
                    requests.push_back(rtu);
                }
                const uint16_t crc = lork::crc16Modbus(rtu.data(), rtu.size());
                rtu.push_back(uint8_t(crc & 0xFF));
                rtu.push_back(uint8_t(crc >> 8));
                const lork::sim::Reply r = model.handle(rtu);
                model.commitAfterReply();
                if (r.bytes.size() < 4) continue;  // silence: the master's time-out
                const size_t pdu = r.bytes.size() - 3;
                std::vector<uint8_t> out{head[0], head[1], 0, 0, uint8_t((pdu + 1) >> 8), uint8_t((pdu + 1) & 0xFF)};
                out.insert(out.end(), r.bytes.begin(), r.bytes.end() - 2);
                handle_us += std::chrono::duration<double, std::micro>(Steady::now() - t0).count();
                ++handled;
                if (write(fd, out.data(), out.size()) != ssize_t(out.size())) break;
                last = Steady::now();
            }
            close(fd);
            {
                std::lock_guard<std::mutex> lock(mutex);
                spans.push_back(any ? std::chrono::duration<double, std::milli>(last - first).count() : 0.0);
            }
            ++closed;
        }
    }
};

// One run of the program with its output thrown away; wall time in ms, < 0 on failure.
double run_ms(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto t0 = Steady::now();
    pid_t pid = 0;
    const int e = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (e != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const auto t1 = Steady::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

struct Timing {
    std::vector<double> ms;
    std::vector<double> span;  // the server's view of the exchanges, ms
    int failed = 0;
    double median() const {
        if (ms.empty()) return -1;
        std::vector<double> t = ms;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
    double max() const { return ms.empty() ? -1 : *std::max_element(ms.begin(), ms.end()); }
    double spanMedian() const {
        if (span.empty()) return -1;
        std::vector<double> t = span;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
};

// The programs in turn, repeats times, so that the machine's load falls on each alike.
std::vector<Timing> time_runs(Server& server, const std::vector<std::vector<std::string>>& programs, int repeats) {
    std::vector<Timing> out(programs.size());
    for (int i = 0; i < repeats; ++i)
        for (size_t k = 0; k < programs.size(); ++k) {
            const int closed = server.closed;
            const double ms = run_ms(programs[k]);
            if (ms < 0) ++out[k].failed;
            else out[k].ms.push_back(ms);
            // The server sees the connection end a moment after the master.
            for (int w = 0; w < 200 && server.closed == closed; ++w) usleep(1000);
            if (server.closed != closed) {
                std::lock_guard<std::mutex> lock(server.mutex);
                out[k].span.push_back(server.spans.back());
            }
        }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--serve") {
        Server server;
        if (!server.start()) return 1;
        std::printf("%d\n", server.port);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_mbtcp LORKCTL MBTCP_LIBMODBUS [REPEATS] [OTHER_LORKCTL]\n");
        return 2;
    }
    const std::string ctl = argv[1], lm = argv[2];
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;
    setenv("XDG_CONFIG_HOME", "/nonexistent-lorkctl-bench", 1);  // the command line only
    Server server;
    if (!server.start()) {
        std::perror("bench_mbtcp: server");
        return 1;
    }
    const std::string gw = "mbtcp://127.0.0.1:" + std::to_string(server.port);
    auto lorkctl = [&](const std::string& exe) {
        return std::vector<std::string>{exe, "read", "--port", gw, "--address", "5"};
    };

    // One run recorded: the reads both masters make.
    server.recording = true;
    if (run_ms(lorkctl(ctl)) < 0) {
        std::fprintf(stderr, "lorkctl read failed\n");
        return 1;
    }
    server.recording = false;
    char list_path[] = "/tmp/bench_mbtcp_XXXXXX";
    const int fd = mkstemp(list_path);
    FILE* list = fdopen(fd, "w");
    size_t reads = 0;
    for (const auto& q : server.requests) {
        if (q.size() != 6 || q[1] < 1 || q[1] > 4) continue;
        std::fprintf(list, "%u %u %u %u\n", q[0], q[1], unsigned(q[2] << 8 | q[3]), unsigned(q[4] << 8 | q[5]));
        ++reads;
    }
    std::fclose(list);
    const size_t exchanges = server.requests.size();
    server.handle_us = 0;
    server.handled = 0;

    // Each master's own start (and, for libmodbus, its connection) without
    // an exchange: lorkctl's help, libmodbus with an empty list.
    const std::string empty_path = std::string(list_path) + ".empty";
    std::fclose(std::fopen(empty_path.c_str(), "w"));
    std::vector<std::vector<std::string>> programs{
        {lm, "127.0.0.1", std::to_string(server.port), list_path},
        {lm, "127.0.0.1", std::to_string(server.port), empty_path},
        lorkctl(ctl),
        {ctl, "--help"},
    };
    if (argc > 4) programs.push_back(lorkctl(argv[4]));
    const std::vector<Timing> t = time_runs(server, programs, repeats);
    unlink(list_path);
    unlink(empty_path.c_str());

    std::printf("exchanges per run: %zu (%zu reads); server's answer %.3f ms on average\n\n", exchanges, reads,
                server.handled ? server.handle_us / 1000.0 / double(server.handled) : 0.0);
    std::printf("| run | median, ms | max, ms | failed | first request to last reply, median, ms |\n|---|---|---|---|---|\n");
    const char* names[] = {"libmodbus, the same reads", "libmodbus, connection only", "lorkctl read",
                           "lorkctl --help (start only)", "lorkctl read, other build"};
    for (size_t k = 0; k < t.size(); ++k)
        std::printf("| %s | %.2f | %.2f | %d | %s |\n", names[k], t[k].median(), t[k].max(), t[k].failed,
                    t[k].span.empty() ? "—" : std::to_string(t[k].spanMedian()).substr(0, 5).c_str());
    const double theirs = t[0].median(), ours = t[2].median();
    std::printf("\nwhole run: lorkctl / libmodbus = %.2f; the exchanges (the server's first request to last "
                "reply): lorkctl / libmodbus = %.2f\n",
                ours / theirs, t[0].spanMedian() > 0 ? t[2].spanMedian() / t[0].spanMedian() : 0.0);
    return ours > 0 && theirs > 0 && ours <= 1.5 * theirs ? 0 : 1;
}
