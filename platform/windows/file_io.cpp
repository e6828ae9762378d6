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

int errnoOf(DWORD e) {
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

int lastErrno() { return errnoOf(GetLastError()); }

std::string dirOf(const std::string& path) {
    const auto at = lastSeparator(path);
    if (at == npos) return ".";
    return path.substr(0, at == 0 ? 1 : at);
}

bool writeAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        DWORD n = 0;
        if (!WriteFile(h, data.data(), DWORD(data.size()), &n, nullptr)) return false;
        data.remove_prefix(n);
    }
    return true;
}

// Removes the temporary files of target ("<name>.~PID-N") left by saves whose
// process was killed: only those whose process no longer runs.
void removeStaleTemporaries(const std::string& target) {
    WIN32_FIND_DATAW fd;
    const HANDLE f = FindFirstFileW(toWide(target + ".~*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return;
    const auto at = lastSeparator(target);
    const std::string prefix = (at == npos ? target : target.substr(at + 1)) + ".~";
    do {
        const std::string name = toUtf8(fd.cFileName);
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
        DeleteFileW(toWide(dirOf(target) + "\\" + name).c_str());
    } while (FindNextFileW(f, &fd));
    FindClose(f);
}

std::string moduleFolder() {
    wchar_t buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
    if (n == 0 || n >= std::size(buf)) return {};
    const std::string path = toUtf8(std::wstring_view(buf, n));
    const auto at = lastSeparator(path);
    return at == npos ? std::string() : path.substr(0, at);
}

std::string knownFolder(const KNOWNFOLDERID& id) {
    wchar_t* w = nullptr;
    std::string s;
    if (SHGetKnownFolderPath(id, 0, nullptr, &w) == S_OK) s = toUtf8(w);
    CoTaskMemFree(w);
    return s;
}

std::string env(const wchar_t* name) {
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring w(n, L'\0');
    const DWORD k = GetEnvironmentVariableW(name, w.data(), n);
    w.resize(k);
    return toUtf8(w);
}

}  // namespace

PathKind pathKind(const std::string& path, int& err) {
    const DWORD a = GetFileAttributesW(toWide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        err = lastErrno();
        return PathKind::Missing;
    }
    if (a & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
    return (a & FILE_ATTRIBUTE_DEVICE) ? PathKind::Other : PathKind::File;
}

std::optional<std::string> readFile(const std::string& path) {
    const HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = lastErrno();
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
            const int e = lastErrno();
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

int replaceFile(const std::string& target, std::string_view data,
                 void (*beforeReplace)(const std::string& temp_path)) {
    // A read-only file refuses the save, as it would refuse a write.
    const std::wstring wtarget = toWide(target);
    if (const DWORD a = GetFileAttributesW(wtarget.c_str());
        a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && (a & FILE_ATTRIBUTE_READONLY))
        return EACCES;
    removeStaleTemporaries(target);
    std::string tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; n < 100 && h == INVALID_HANDLE_VALUE; ++n) {
        tmp = target + ".~" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n);
        h = CreateFileW(toWide(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return lastErrno();
    }
    if (h == INVALID_HANDLE_VALUE) return EEXIST;
    int err = 0;
    if (!writeAll(h, data) || !FlushFileBuffers(h)) err = lastErrno();
    if (!CloseHandle(h) && err == 0) err = lastErrno();
    if (err == 0 && beforeReplace) beforeReplace(tmp);
    // rename() will not replace a file here; this does, and reaches the disk before it returns.
    if (err == 0 && !MoveFileExW(toWide(tmp).c_str(), wtarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = lastErrno();
    if (err != 0) DeleteFileW(toWide(tmp).c_str());
    return err;
}

int renameOver(const std::string& from, const std::string& to) {
    if (MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return lastErrno();
}

int makeFolders(const std::string& dir) {
    if (dir.empty()) return 0;
    const DWORD a = GetFileAttributesW(toWide(dir).c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
    const DWORD why = GetLastError();
    if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) return errnoOf(why);
    // Not above a drive ("C:") or a share's root.
    if (const auto at = lastSeparator(dir); at != npos && at > 0 && dir[at - 1] != ':')
        if (const int e = makeFolders(dir.substr(0, at)); e != 0) return e;
    if (!CreateDirectoryW(toWide(dir).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return lastErrno();
    return 0;
}

int createFile(const std::string& path) {
    const HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    CloseHandle(h);
    return 0;
}

int appendFile(const std::string& path, const std::string& head, const std::string& text) {
    // FILE_APPEND_DATA alone: every write goes to the end, in one piece.
    const HANDLE h = CreateFileW(toWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastErrno();
    bool fresh = GetLastError() != ERROR_ALREADY_EXISTS;
    LARGE_INTEGER size{};
    if (!fresh && GetFileSizeEx(h, &size) && size.QuadPart == 0) fresh = true;
    const std::string s = fresh ? head + text : text;
    DWORD n = 0;
    int err = 0;
    if (!WriteFile(h, s.data(), DWORD(s.size()), &n, nullptr)) err = lastErrno();
    else if (n != s.size()) err = ENOSPC;
    if (!CloseHandle(h) && err == 0) err = lastErrno();
    return err;
}

size_t lastSeparator(std::string_view path) { return path.find_last_of("/\\"); }
std::string joinPath(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

std::string userConfigFolder() {
    // %APPDATA%\testlork: the Windows folder, where such files once lived,
    // is not the user's to write on current Windows.
    std::string base = env(L"APPDATA");
    if (base.empty()) base = knownFolder(FOLDERID_RoamingAppData);
    if (base.empty()) base = ".";
    return joinPath(base, "testlork");
}

std::string userDataFolder() {
    std::string base = env(L"APPDATA");
    if (base.empty()) base = knownFolder(FOLDERID_RoamingAppData);
    return base.empty() ? "." : base;
}

std::string carryOverSettings(const std::string& path) {
    int err = 0;
    if (pathKind(path, err) != PathKind::Missing || err != ENOENT) return {};
    // Beside the settings file: it was taken over once already.
    const std::string mark = path + ".taken-over";
    if (pathKind(mark, err) != PathKind::Missing) return {};
    const auto at = lastSeparator(path);
    const std::string name = at == npos ? path : path.substr(at + 1);
    wchar_t windir[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(windir, MAX_PATH);
    for (const std::string& folder : {moduleFolder(), n ? toUtf8(std::wstring_view(windir, n)) : std::string()}) {
        if (folder.empty()) continue;
        const std::string old = joinPath(folder, name);
        if (pathKind(old, err) != PathKind::File) continue;
        if (makeFolders(dirOf(path)) != 0) return {};
        if (!CopyFileW(toWide(old).c_str(), toWide(path).c_str(), TRUE)) return {};
        // Without the mark the old file would come back each time this one is deleted.
        replaceFile(mark, old + "\r\n", nullptr);
        return old;
    }
    return {};
}

std::tm localTime(std::time_t t, long* utcOffsetS) {
    std::tm tm{};
    localtime_s(&tm, &t);
    if (utcOffsetS) {
        std::tm copy = tm;
        *utcOffsetS = long(_mkgmtime(&copy) - t);
    }
    return tm;
}

// Why a save failed, in the operator's words. The errno values are those that
// errnoOf gives for the system's own codes.
std::string saveFailureReason(const std::string& target, int err) {
    switch (err) {
    case ENOSPC: return "нет места на диске";
    case ENOENT:
    case ENOTDIR: return "нет такой папки";
    case EACCES: {
        const DWORD a = GetFileAttributesW(toWide(target).c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return "на месте файла папка";
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) return "файл только для чтения";
        return "нет доступа";
    }
    case EIO: return "ошибка ввода-вывода";
    default: return {};  // the shared words say it
    }
}

}  // namespace lork
