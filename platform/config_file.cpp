#include "platform/config_file.h"

#include <cerrno>

#include "platform/base/file_io.h"

namespace lork {

std::string settingsFolder() { return userConfigFolder(); }

std::string settingsPath(std::string_view programFileName) {
    auto base = programFileName;
    if (const auto slash = lastSeparator(base); slash != std::string_view::npos)
        base.remove_prefix(slash + 1);
    // A leading dot names a hidden file, not an extension.
    if (const auto dot = base.rfind('.'); dot != std::string_view::npos && dot > 0)
        base = base.substr(0, dot);
    return joinPath(settingsFolder(), std::string(base) + ".ini");
}

FileFound findOrCreateFile(const std::string& path) {
    const std::string takenFrom = carryOverSettings(path);
    int err = 0;
    if (const PathKind kind = pathKind(path, err); kind != PathKind::Missing) {
        // A folder (or a device) in the file's place reads as empty and can
        // never be saved.
        if (kind != PathKind::File) return {true, kind == PathKind::Folder ? EISDIR : EINVAL, {}};
        return {true, 0, takenFrom};
    }
    if (err == ENOENT) {
        const auto slash = lastSeparator(path);
        err = makeFolders(slash == std::string::npos ? std::string() : path.substr(0, slash));
        if (err == 0) err = createFile(path);
    }
    return {false, err, {}};
}

}  // namespace lork
