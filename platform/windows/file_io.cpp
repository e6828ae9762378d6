#include "platform/base/file_io.h"

#include <windows.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/windows/wide.h"

namespace lork {
namespace {

constexpr size_t npos = std::string::npos;

int errno_of(DWORD e) {
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    default:
        return EIO;
    }
}

int last_errno() { return errno_of(GetLastError()); }

std::string dir_of(const std::string& path) {
    const auto at = Last_separator(path);
    if (at == npos) return ".";
    return path.substr(0, at == 0 ? 1 : at);
}

bool write_all(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        DWORD n = 0;
        if (!WriteFile(h, data.data(), DWORD(data.size()), &n, nullptr)) return false;
        data.remove_prefix(n);
    }
    return true;
}

// Removes the temporary files of target ("<name>.~PID-N") left by saves whose
// process was killed: only those whose process no longer runs.
void remove_stale_temporaries(const std::string& target) {
    WIN32_FIND_DATAW fd;
    const HANDLE f = FindFirstFileW(Wide(target + ".~*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return;
    const auto at = Last_separator(target);
    const std::string prefix = (at == npos ? target : target.substr(at + 1)) + ".~";
    do {
        const std::string name = Utf8(fd.cFileName);
        if (name.size() <= prefix.size()) continue;
        const std::string rest = name.substr(prefix.size());
        const auto dash = rest.find('-');
        if (dash == npos || dash == 0 || dash > 10 || rest.find_first_not_of("0123456789-") != npos) continue;
        const DWORD pid = DWORD(std::strtoul(rest.substr(0, dash).c_str(), nullptr, 10));
        if (pid == 0 || pid == GetCurrentProcessId()) continue;
        if (const HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
            DWORD code = 0;
            const bool running = GetExitCodeProcess(p, &code) && code == STILL_ACTIVE;
            CloseHandle(p);
            if (running) continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // there, but not ours to look at
        }
        DeleteFileW(Wide(dir_of(target) + "\\" + name).c_str());
    } while (FindNextFileW(f, &fd));
    FindClose(f);
}

std::string module_folder() {
    wchar_t buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
    if (n == 0 || n >= std::size(buf)) return {};
    const std::string path = Utf8(std::wstring_view(buf, n));
    const auto at = Last_separator(path);
    return at == npos ? std::string() : path.substr(0, at);
}

std::string known_folder(const KNOWNFOLDERID& id) {
    wchar_t* w = nullptr;
    std::string s;
    if (SHGetKnownFolderPath(id, 0, nullptr, &w) == S_OK) s = Utf8(w);
    CoTaskMemFree(w);
    return s;
}

std::string env(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring w(n, L'\0');
    const DWORD k = GetEnvironmentVariableW(name, w.data(), n);
    w.resize(k);
    return Utf8(w);
}

}  // namespace

PathKind Path_kind(const std::string& path, int& err) {
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        err = last_errno();
        return PathKind::Missing;
    }
    if (a & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
    return (a & FILE_ATTRIBUTE_DEVICE) ? PathKind::Other : PathKind::File;
}

std::optional<std::string> Read_file(const std::string& path) {
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = last_errno();
        return std::nullopt;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        errno = EINVAL;
        return std::nullopt;
    }
    std::string data;
    char buf[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
            const int e = last_errno();
            CloseHandle(h);
            errno = e;
            return std::nullopt;
        }
        if (n == 0) break;
        data.append(buf, n);
    }
    CloseHandle(h);
    return data;
}

int Replace_file(const std::string& target, std::string_view data,
                 void (*before_replace)(const std::string& temp_path)) {
    // A read-only file refuses the save, as it would refuse a write.
    const std::wstring wtarget = Wide(target);
    if (const DWORD a = GetFileAttributesW(wtarget.c_str());
        a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_READONLY))
        return EACCES;
    remove_stale_temporaries(target);
    std::string tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; n < 100 && h == INVALID_HANDLE_VALUE; ++n) {
        tmp = target + ".~" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        h = CreateFileW(Wide(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return last_errno();
    }
    if (h == INVALID_HANDLE_VALUE) return EEXIST;
    int err = 0;
    if (!write_all(h, data) || !FlushFileBuffers(h)) err = last_errno();
    if (!CloseHandle(h) && err == 0) err = last_errno();
    if (err == 0 && before_replace) before_replace(tmp);
    // rename() will not replace a file here; this does, and reaches the disk before it returns.
    if (err == 0 && !MoveFileExW(Wide(tmp).c_str(), wtarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = last_errno();
    if (err != 0) DeleteFileW(Wide(tmp).c_str());
    return err;
}

int Rename_over(const std::string& from, const std::string& to) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return last_errno();
}

int Make_folders(const std::string& dir) {
    if (dir.empty()) return 0;
    const DWORD a = GetFileAttributesW(Wide(dir).c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
    const DWORD why = GetLastError();
    if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) return errno_of(why);
    // Not above a drive ("C:") or a share's root.
    if (const auto at = Last_separator(dir); at != npos && at > 0 && dir[at - 1] != ':')
        if (const int e = Make_folders(dir.substr(0, at)); e != 0) return e;
    if (!CreateDirectoryW(Wide(dir).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return last_errno();
    return 0;
}

int Create_file(const std::string& path) {
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return last_errno();
    CloseHandle(h);
    return 0;
}

int Append_file(const std::string& path, const std::string& head, const std::string& text) {
    // FILE_APPEND_DATA alone: every write goes to the end, in one piece.
    const HANDLE h = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return last_errno();
    bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
    LARGE_INTEGER size{};
    if (!fresh && GetFileSizeEx(h, &size) && size.QuadPart == 0) fresh = true;
    const std::string s = fresh ? head + text : text;
    DWORD n = 0;
    int err = 0;
    if (!WriteFile(h, s.data(), DWORD(s.size()), &n, nullptr)) err = last_errno();
    else if (n != s.size()) err = ENOSPC;
    if (!CloseHandle(h) && err == 0) err = last_errno();
    return err;
}

size_t Last_separator(std::string_view path) { return path.find_last_of("/\\"); }
std::string Join_path(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

std::string User_config_folder() {
    // %APPDATA%\testlork: the Windows folder, where such files once lived,
    // is not the user's to write on current Windows.
    std::string base = env(L"APPDATA");
    if (base.empty()) base = known_folder(FOLDERID_RoamingAppData);
    if (base.empty()) base = ".";
    return Join_path(base, "testlork");
}

std::string User_data_folder() {
    std::string base = env(L"APPDATA");
    if (base.empty()) base = known_folder(FOLDERID_RoamingAppData);
    return base.empty() ? "." : base;
}

std::string Carry_over_settings(const std::string& path) {
    int err = 0;
    if (Path_kind(path, err) != PathKind::Missing || err != ENOENT) return {};
    // Beside the settings file: it was taken over once already.
    const std::string mark = path + ".taken-over";
    if (Path_kind(mark, err) != PathKind::Missing) return {};
    const auto at = Last_separator(path);
    const std::string name = at == npos ? path : path.substr(at + 1);
    wchar_t windir[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(windir, MAX_PATH);
    for (const std::string& folder : {module_folder(), n ? Utf8(std::wstring_view(windir, n)) : std::string()}) {
        if (folder.empty()) continue;
        const std::string old = Join_path(folder, name);
        if (Path_kind(old, err) != PathKind::File) continue;
        if (Make_folders(dir_of(path)) != 0) return {};
        if (!CopyFileW(Wide(old).c_str(), Wide(path).c_str(), TRUE)) return {};
        // Without the mark the old file would come back each time this one is deleted.
        Replace_file(mark, old + "\r\n", nullptr);
        return old;
    }
    return {};
}

std::tm Local_time(std::time_t t, long* utc_offset_s) {
    std::tm tm{};
    localtime_s(&tm, &t);
    if (utc_offset_s) {
        std::tm copy = tm;
        *utc_offset_s = long(_mkgmtime(&copy) - t);
    }
    return tm;
}

// Why a save failed, in the operator's words. The errno values are those that
// errno_of gives for the system's own codes.
std::string Save_failure_reason(const std::string& target, int err) {
    switch (err) {
    case ENOSPC: return "нет места на диске";
    case ENOENT:
    case ENOTDIR: return "нет такой папки";
    case EACCES: {
        const DWORD a = GetFileAttributesW(Wide(target).c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return "на месте файла папка";
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) return "файл только для чтения";
        return "нет доступа";
    }
    case EIO: return "ошибка ввода-вывода";
    default: return {};  // the shared words say it
    }
}

}  // namespace lork
