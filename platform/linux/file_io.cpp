#include "platform/base/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace lork {
namespace {

constexpr size_t npos = std::string::npos;

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(size_t(n));
    }
    return true;
}

std::string dirOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Removes the temporary files of target ("<name>.~PID-N") left by saves whose
// process was killed: only those whose process no longer runs.
void removeStaleTemporaries(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string prefix = (slash == npos ? target : target.substr(slash + 1)) + ".~";
    DIR* d = ::opendir(dirOf(target).c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        const std::string_view rest = name.substr(prefix.size());
        const auto dash = rest.find('-');
        auto digits = [](std::string_view v) {
            return !v.empty() && v.size() <= 10 &&
                   v.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (dash == npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1))) continue;
        const long pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
        if (pid <= 0 || pid > INT_MAX || pid_t(pid) == ::getpid()) continue;
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string dir = dirOf(target);
        (void)::unlink((dir + "/" + std::string(name)).c_str());
    }
    ::closedir(d);
}

}  // namespace

PathKind pathKind(const std::string& path, int& err) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        err = errno;
        return PathKind::Missing;
    }
    if (S_ISREG(st.st_mode)) return PathKind::File;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

std::optional<std::string> readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return std::nullopt;
    }
    std::string data;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            ::close(fd);
            errno = e;
            return std::nullopt;
        }
        if (n == 0) break;
        data.append(buf, size_t(n));
    }
    ::close(fd);
    return data;
}

int replaceFile(const std::string& path, std::string_view data,
                 void (*beforeReplace)(const std::string& temp_path)) {
    // Write through a symbolic link rather than replacing the link.
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    // A rename asks only the folder, so it would replace a file that refuses
    // writes (read-only, someone else's, immutable): ask the file itself
    // first, without opening it, so that no watcher sees a write.
    struct stat cur {};
    if (::stat(target.c_str(), &cur) == 0 && S_ISREG(cur.st_mode) &&
        ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    removeStaleTemporaries(target);
    std::string tmp;
    int fd = -1;
    for (unsigned n = 0; n < 100 && fd < 0; ++n) {
        tmp = target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(n);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    int err = 0;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd, old.st_mode & 07777);  // keep the file's permissions
    if (!writeAll(fd, data) || ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && beforeReplace) beforeReplace(tmp);
    if (err == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        return err;
    }
    // The rename itself reaches the disk only with the folder's entry.
    if (const int dfd = ::open(dirOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dfd >= 0) {
        (void)::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

int renameOver(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int makeFolders(const std::string& dir) {
    // The XDG rules ask for 0700 on folders created for the user.
    if (dir.empty()) return 0;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const auto slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0)
        if (const int e = makeFolders(dir.substr(0, slash)); e != 0) return e;
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

int createFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

int appendFile(const std::string& path, const std::string& head, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool fresh = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat sb {};
    if (!fresh && ::fstat(fd, &sb) == 0 && sb.st_size == 0) fresh = true;
    // One write() of the whole text: with O_APPEND the kernel puts it at the
    // end in one piece.
    const std::string s = fresh ? head + text : text;
    ssize_t n;
    do n = ::write(fd, s.data(), s.size());
    while (n < 0 && errno == EINTR);
    int err = n < 0 ? errno : size_t(n) != s.size() ? ENOSPC : 0;
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

size_t lastSeparator(std::string_view path) { return path.rfind('/'); }
std::string joinPath(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::string userConfigFolder() {
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return x;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config";
}

std::string userDataFolder() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return x;
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.local/share";
    return ".";
}

std::string carryOverSettings(const std::string&) { return {}; }

std::tm localTime(std::time_t t, long* utcOffsetS) {
    std::tm tm{};
    localtime_r(&t, &tm);
    if (utcOffsetS) *utcOffsetS = tm.tm_gmtoff;
    return tm;
}

// Why a save failed, in the operator's words.
std::string saveFailureReason(const std::string& target, int err) {
    switch (err) {
    case EROFS: return "диск только для чтения";
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return "нет места на диске";
    case ENOENT:
    case ENOTDIR: return "нет такой папки";
    case EISDIR: return "на месте файла папка";
    case EIO: return "ошибка ввода-вывода";
    case EACCES:
    case EPERM: {
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0)
            return "файл только для чтения";
        if (::faccessat(AT_FDCWD, dirOf(target).c_str(), W_OK, AT_EACCESS) != 0) return "нет доступа к папке";
        return "нет доступа к файлу";
    }
    default: return {};
    }
}


}  // namespace lork
