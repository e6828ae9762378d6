#pragma once
// A private-profile (INI) file in place of the Windows profile functions.
// The file is Windows-1251 text with CRLF line ends; the API speaks UTF-8.
// A file that a UTF-8 editor saved (with a byte order mark, or valid UTF-8
// that Windows-1251 would read as nonsense) is read and written as UTF-8.
// Either way every line the program does not write keeps its bytes.
// Reads see the file as it was loaded plus this object's own writes; writes
// stay in memory until Flush, which merges them into the file as it is on disk
// at that moment and replaces it atomically, so every line this object did not
// write (comments, unknown keys, other sections, their order) survives.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lork {

// A settings file's lines and how they are written.
struct ProfileText {
    std::vector<std::string> lines;
    bool utf8 = false;  // the lines are UTF-8, and so is the file
    bool bom = false;   // ... which begins with a byte order mark
};

class PrivateProfile {
public:
    // Loads the file when it can be read; a missing or unreadable file reads as empty.
    explicit PrivateProfile(std::string path);

    const std::string& path() const { return path_; }

    // Section and key names compare without regard to case (Latin and Cyrillic);
    // blanks inside them, leading ones included, are significant.
    // Decimal (optionally signed) or 0x/0X hexadecimal; anything else -> def.
    int32_t readInteger(std::string_view section, std::string_view key, int32_t def) const;
    // At most 2047 characters of the value.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    void writeInteger(std::string_view section, std::string_view key, int32_t value);
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key (every line of it in the section); nothing else changes.
    void deleteKey(std::string_view section, std::string_view key);

    // Writes the pending changes. On failure the file on disk is the old one,
    // whole; error() then holds "Unable to write to <path>: <reason> [<system
    // text>]" (the reason in Russian) and the changes stay pending for the next Flush.
    bool flush();
    const std::string& error() const { return error_; }
    int errorCode() const { return errno_; }  // errno of the last failure

    // The file's lines as they would be written, no line ends: Windows-1251
    // bytes, or UTF-8 when utf8().
    const std::vector<std::string>& lines() const { return text_.lines; }
    bool utf8() const { return text_.utf8; }

    static constexpr size_t maxString = 2047;

private:
    struct Change {
        std::string section, key, value;  // Windows-1251 bytes
        bool erase = false;               // the key goes, value unused
    };
    std::string path_;
    ProfileText text_;
    std::vector<Change> pending_;
    std::string error_;
    int errno_ = 0;
};

// Splits file text into lines (CRLF or LF) and joins them back with CRLF.
std::vector<std::string> profileSplit(std::string_view text);
std::string profileJoin(const std::vector<std::string>& lines);

// Test seam: called with the temporary file's path after it is written and
// synced and before it replaces the settings file. Null in the program.
using ProfileHook = void (*)(const std::string& temp_path);
void setProfileBeforeRenameHook(ProfileHook hook);

}  // namespace lork
