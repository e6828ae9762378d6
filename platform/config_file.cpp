#include "platform/config_file.h"

#include <cerrno>

#include "platform/base/file_io.h"

namespace lork {

std::string settings_folder() { return User_config_folder(); }

std::string settings_path(std::string_view program_file_name) {
    auto base = program_file_name;
    if (const auto slash = Last_separator(base); slash != std::string_view::npos)
        base.remove_prefix(slash + 1);
    // A leading dot names a hidden file, not an extension.
    if (const auto dot = base.rfind('.'); dot != std::string_view::npos && dot > 0)
        base = base.substr(0, dot);
    return Join_path(settings_folder(), std::string(base) + ".ini");
}

FileFound findOrCreateFile(const std::string& path) {
    const std::string taken_from = Carry_over_settings(path);
    int err = 0;
    if (const PathKind kind = Path_kind(path, err); kind != PathKind::Missing) {
        // A folder (or a device) in the file's place reads as empty and can
        // never be saved.
        if (kind != PathKind::File) return {true, kind == PathKind::Folder ? EISDIR : EINVAL, {}};
        return {true, 0, taken_from};
    }
    if (err == ENOENT) {
        const auto slash = Last_separator(path);
        err = Make_folders(slash == std::string::npos ? std::string() : path.substr(0, slash));
        if (err == 0) err = Create_file(path);
    }
    return {false, err, {}};
}

}  // namespace lork
