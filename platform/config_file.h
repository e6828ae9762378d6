#pragma once
// Where the program's settings file lives, and finding or making it there.
#include <string>
#include <string_view>

namespace lork {

// The user's configuration folder: $XDG_CONFIG_HOME, else $HOME/.config;
// on Windows %APPDATA%\testlork.
std::string settingsFolder();

// settingsFolder() + the separator + the program file's base name with its extension
// replaced by ".ini" ("/usr/bin/testlork" -> ".../testlork.ini").
std::string settingsPath(std::string_view programFileName);

struct FileFound {
    bool existed = false;  // something was at the path already
    // 0, or why the file cannot serve: the error of its creation, or, for an
    // existing name, EISDIR / EINVAL when it is a folder or a device.
    int error = 0;
    // The file of an earlier version taken over just now into path, if any.
    std::string takenFrom;
};
// Finds the file at path or creates it empty, with its missing folders.
FileFound findOrCreateFile(const std::string& path);

}  // namespace lork
