#pragma once
// Where the program's settings file lives, and finding or making it there.
#include <string>
#include <string_view>

namespace lork {

// The user's configuration folder: $XDG_CONFIG_HOME, else $HOME/.config;
// on Windows %APPDATA%\testlork.
std::string settings_folder();

// settings_folder() + the separator + the program file's base name with its extension
// replaced by ".ini" ("/usr/bin/testlork" -> ".../testlork.ini").
std::string settings_path(std::string_view program_file_name);

struct FileFound {
    bool existed = false;  // something was at the path already
    // 0, or why the file cannot serve: the error of its creation, or, for an
    // existing name, EISDIR / EINVAL when it is a folder or a device.
    int error = 0;
    // The file of an earlier version taken over just now into path, if any.
    std::string taken_from;
};
// Finds the file at path or creates it empty, with its missing folders.
FileFound findOrCreateFile(const std::string& path);

}  // namespace lork
