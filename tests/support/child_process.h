#pragma once
// A helper process (socat, a Python slave) that lives as long as the object.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace lork::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Standard output and error go to log_path (or are inherited when empty).
    bool start(const std::vector<std::string>& argv, const std::string& log_path = {}) {
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            if (!log_path.empty()) {
                if (FILE* f = std::fopen(log_path.c_str(), "w")) {
                    dup2(fileno(f), STDOUT_FILENO);
                    dup2(fileno(f), STDERR_FILENO);
                }
            }
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        return true;
    }

    // True while the process has not exited.
    bool running() {
        if (pid_ <= 0) return false;
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    ~ChildProcess() { stop(); }

private:
    pid_t pid_ = -1;
};

}  // namespace lork::test
