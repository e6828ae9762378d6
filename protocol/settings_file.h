#pragma once
// The program's settings file: its creation at first start, and the load and
// save of the line settings (the file's place and the INI layer are the platform's).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/config_file.h"
#include "platform/private_profile.h"
#include "protocol/state.h"

namespace lork {

enum class SettingsStart {
    Existing,      // the file was there
    Created,       // it was missing and has been created with a short save
    CreateFailed,  // it could not be created: the program runs on its defaults, unsaved
};

struct SettingsOpenResult {
    SettingsStart what = SettingsStart::Existing;
    std::string message;  // to show the operator when not empty
    // An earlier version's settings file taken over just now (its path), for
    // the information window.
    std::string takenFrom;
};

struct SettingsLoadResult {
    std::optional<size_t> portIndex;  // entry of the port list now in use, if any
};

class SettingsFile {
public:
    static constexpr std::string_view sectionLink = "связь";
    static constexpr std::string_view sectionTimeouts = "таймауты";

    explicit SettingsFile(std::string path);

    // Finds the file or creates it: a missing file is created empty and then
    // receives a short save of ls as it stands (the built-in defaults at start).
    SettingsOpenResult open(LineSettings& ls);

    // Reads the file into ls. port_list is the list of serial ports in its
    // order; "ПОРТ" is taken only when it equals one of them exactly.
    // forcedPort (from the command line) wins over "ПОРТ" and need not be listed.
    // Values out of range fall back to the defaults.
    SettingsLoadResult Load_settings(LineSettings& ls, const std::vector<std::string>& port_list,
                                     const std::optional<std::string>& forcedPort = {});

    // Section "связь"; when full also "таймауты" from savedTimeouts, each of
    // which becomes current in ls. False with error() set when nothing could be
    // written (or there is no file since a failed creation).
    bool Save_settings(LineSettings& ls, bool full);

    const std::string& path() const { return path_; }
    bool hasFile() const { return profile_ != nullptr; }
    const std::string& error() const { return error_; }

    // The time-outs that a full save writes and then makes current. Nothing in
    // the program changes them unless the window feeds them; 0 from start.
    PortTimeouts savedTimeouts;

private:
    std::string path_;
    std::unique_ptr<PrivateProfile> profile_;
    std::string error_;
};

}  // namespace lork
