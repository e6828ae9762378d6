#pragma once
// The few file-system calls the portable code makes, one implementation per
// system (platform/linux/file_io.cpp, platform/windows/file_io.cpp). Paths
// are UTF-8; errors are errno values.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace lork {

enum class PathKind { Missing, File, Folder, Other };
// What is at path; Missing with err set when nothing can be found there.
PathKind pathKind(const std::string& path, int& err);

// A regular file whole, bytes as they are; nullopt with errno set when it
// cannot be read.
std::optional<std::string> readFile(const std::string& path);

// Writes data into a new file beside target (the file a symbolic link names)
// and puts it in its place at once, so the path holds either the old file or
// the new one, never a part of either. beforeReplace (may be null) sees the new file first. 0 or errno.
int replaceFile(const std::string& target, std::string_view data,
                 void (*beforeReplace)(const std::string& temp_path));

// Why a save of target failed with err (from replaceFile), in the operator's
// words, where the save tells more than err alone (read-only file, no access
// to the folder, a missing folder); empty where fileErrorWords(err) says it.
std::string saveFailureReason(const std::string& target, int err);

// Puts the file from in to's place in one step, replacing what is there
// (rename() does not replace a file on Windows). 0 or errno.
int renameOver(const std::string& from, const std::string& to);

// Creates dir and the folders above it that are missing. 0 or errno.
int makeFolders(const std::string& dir);

// Creates path empty unless it exists. 0 or errno.
int createFile(const std::string& path);

// Appends text to path in one write, creating the file when missing; fresh
// tells whether it was missing or empty before, and head (when not empty)
// then goes in front of text in the same write. 0 or errno.
int appendFile(const std::string& path, const std::string& head, const std::string& text);

// Position of the last folder separator in path, npos for none.
size_t lastSeparator(std::string_view path);
// folder and name joined with the system's separator.
std::string joinPath(const std::string& folder, const std::string& name);

// The user's folder of per-program settings files.
std::string userConfigFolder();
// The user's folder of per-program data files.
std::string userDataFolder();

// Before the first use of a settings file that is not there yet: takes over
// one the program kept elsewhere in earlier versions, when there is one, and
// only once for path: a file deleted later (the way back to the defaults) is
// not replaced by the old one again. Returns the old file's path when it was
// taken over now, else empty.
std::string carryOverSettings(const std::string& path);

// Local time of t, and its offset from UTC in seconds.
std::tm localTime(std::time_t t, long* utcOffsetS = nullptr);

}  // namespace lork
