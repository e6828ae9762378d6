#include "platform/linux/port_failure.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/base/error_words.h"

namespace lork {

namespace {

// The device's own name, behind any symbolic link ("ttyUSB0").
std::string deviceName(const std::string& path) {
    char real[PATH_MAX];
    const std::string p = ::realpath(path.c_str(), real) ? std::string(real) : path;
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string lockName(const std::string& devicePath) { return "LCK.." + deviceName(devicePath); }

bool alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

}  // namespace

LockHolder findLockHolder(const std::string& devicePath, const std::vector<std::string>& lockDirs) {
    const std::string name = lockName(devicePath);
    for (const auto& dir : lockDirs) {
        const std::string file = dir + "/" + name;
        std::ifstream in(file);
        long pid = 0;
        if (in >> pid && pid > 0 && pid <= INT_MAX && alive(pid_t(pid))) return {pid_t(pid), file};
    }
    return {};
}

std::string createLockFile(const std::string& devicePath, const std::vector<std::string>& lockDirs) {
    const std::string name = lockName(devicePath);
    for (const auto& dir : lockDirs) {
        const std::string file = dir + "/" + name;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd >= 0) {
                char text[16];
                const int n = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
                const bool ok = ::write(fd, text, size_t(n)) == n;
                ::close(fd);
                if (ok) return file;
                ::unlink(file.c_str());
                break;
            }
            // Only a stale lock is left here: the live one stopped the open.
            if (errno != EEXIST || ::unlink(file.c_str()) != 0) break;
        }
    }
    return {};
}

bool isPtyDevice(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    const unsigned m = major(st.st_rdev);
    // Unix98 slaves (136..143), legacy BSD slaves (3).
    return (m >= 136 && m <= 143) || m == 3;
}

std::string describePortFailure(const std::string& path, uint32_t err, const FailureContext& ctx) {
    // In the operator's words first; the system's own text after them in
    // brackets, for whoever searches for it or reads a bug report.
    std::string line = "порт " + path + ": ";
    const std::string system = std::string(" [") + std::strerror(int(err)) + "]";
    if (err == EACCES || err == EPERM) {
        line += errorWords(err) + system;
        struct stat st {};
        const group* g = ::stat(path.c_str(), &st) == 0 ? getgrgid(st.st_gid) : nullptr;
        if (g && std::strcmp(g->gr_name, "root") != 0)
            line += std::string("; нужно членство в группе ") + g->gr_name + " (sudo usermod -aG " + g->gr_name +
                    " $USER, затем войти в систему заново)";
        else
            line += "; нужны права на устройство";
    } else if (err == EBUSY && ctx.lockHolder > 0) {
        line += "порт занят программой с PID " + std::to_string(ctx.lockHolder) + " (" + ctx.lockFile + ")" + system;
    } else if (ctx.vanished) {
        line += "устройство пропало (отключено?)" + system;
    } else {
        line += errorWords(err) + system;
    }
    return line;
}

std::string latencyRemark(const std::string& devicePath, const std::string& sysRoot, int32_t baud,
                           int32_t limit) {
    if (limit <= 0) return {};
    const std::string name = deviceName(devicePath);
    std::string file = sysRoot + "/bus/usb-serial/devices/" + name + "/latency_timer";
    std::ifstream in(file);
    int ms = 0;
    if (!(in >> ms)) return {};
    if (ms <= limit) return {};
    return "порт " + devicePath + ": таймер задержки USB " + std::to_string(ms) + " мс, а ответ на " +
           std::to_string(baud) + " бит/с ждут " + std::to_string(limit) +
           " мс; уменьшить: echo 1 | sudo tee " + file;
}

}  // namespace lork
