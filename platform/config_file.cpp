#include "platform/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace lork {
namespace {

// mkdir -p; the XDG rules ask for 0700 on folders created for the user.
int makeFolders(const std::string& dir) {
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

}  // namespace

std::string settings_folder() {
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return x;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config";
}

std::string settings_path(std::string_view program_file_name) {
    auto base = program_file_name;
    if (const auto slash = base.rfind('/'); slash != std::string_view::npos)
        base.remove_prefix(slash + 1);
    // A leading dot names a hidden file, not an extension.
    if (const auto dot = base.rfind('.'); dot != std::string_view::npos && dot > 0)
        base = base.substr(0, dot);
    return settings_folder() + "/" + std::string(base) + ".ini";
}

FileFound findOrCreateFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        // A folder (or a device) in the file's place reads as empty and can
        // never be saved.
        if (!S_ISREG(st.st_mode)) return {true, S_ISDIR(st.st_mode) ? EISDIR : EINVAL};
        return {true, 0};
    }
    int err = errno;
    if (err == ENOENT) {
        const auto slash = path.rfind('/');
        err = makeFolders(slash == std::string::npos ? std::string() : path.substr(0, slash));
        if (err == 0) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) err = errno;
            else ::close(fd);
        }
    }
    return {false, err};
}

}  // namespace lork
