#pragma once
// Runs lork-sim as a child process for peer tests and benchmarks: starts it,
// takes the terminal path from its first line, sends it commands, and stops
// it with SIGTERM, reporting whether it exited cleanly.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace lork::test {

class SimProcess {
public:
    // Returns false (with why) when the program cannot be started or says
    // nothing within ten seconds (a busy machine starts programs slowly).
    bool start(const std::string& exe, const std::vector<std::string>& args, std::string* why = nullptr) {
        if (access(exe.c_str(), X_OK) != 0) return fail(why, "no executable " + exe);
        int out[2], in[2];
        if (pipe(out) != 0 || pipe(in) != 0) return fail(why, "pipe");
        pid_ = fork();
        if (pid_ < 0) return fail(why, "fork");
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(in[0], STDIN_FILENO);
            close(out[0]);
            close(out[1]);
            close(in[0]);
            close(in[1]);
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        out_ = out[0];
        in_ = in[1];
        path_ = readLine(10000);
        if (path_.empty()) return fail(why, "lork-sim printed no terminal path");
        return true;
    }

    const std::string& path() const { return path_; }
    pid_t pid() const { return pid_; }

    // One command on the simulator's standard input; true when it said "ok".
    bool command(const std::string& line) {
        const std::string l = line + "\n";
        if (write(in_, l.data(), l.size()) != ssize_t(l.size())) return false;
        return readLine(2000) == "ok";
    }

    // SIGTERM and wait; true when the program exited with status 0.
    bool stop() {
        if (pid_ <= 0) return false;
        kill(pid_, SIGTERM);
        int status = 0;
        const bool ok = waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        pid_ = -1;
        closeFds();
        return ok;
    }

    ~SimProcess() {
        if (pid_ > 0) stop();
        closeFds();
    }

private:
    static bool fail(std::string* why, const std::string& w) {
        if (why) *why = w;
        return false;
    }
    std::string readLine(int timeoutMs) {
        std::string line;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, timeoutMs) > 0) {
            char c;
            if (read(out_, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return {};
    }
    void closeFds() {
        if (out_ >= 0) close(out_);
        if (in_ >= 0) close(in_);
        out_ = in_ = -1;
    }
    pid_t pid_ = -1;
    int out_ = -1, in_ = -1;
    std::string path_;
};

}  // namespace lork::test
