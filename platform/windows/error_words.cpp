#include "platform/base/error_words.h"

// Winsock's header goes before windows.h, which would pull in the old one.
#include <winsock2.h>
#include <windows.h>

#include <cerrno>

#include "platform/windows/wide.h"

namespace lork {

namespace {

// The operator's own words where they say more than the system's text.
const char* ownWords(uint32_t err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "нет такого порта";
    case ERROR_ACCESS_DENIED: return "порт занят другой программой или нет доступа";
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_BAD_COMMAND: return "устройство пропало (отключено?)";
    case ERROR_INVALID_HANDLE: return "порт не открыт";
    case ERROR_INVALID_PARAMETER: return "неверные настройки порта";
    case WSAECONNREFUSED: return "шлюз отказал в соединении";
    case WSAETIMEDOUT: return "шлюз не отвечает";
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH: return "шлюз недоступен по сети";
    case WSAECONNRESET:
    case WSAECONNABORTED: return "шлюз разорвал соединение";
    default: return nullptr;
    }
}

// The network ports give the C runtime's errno values; those above the
// Win32 codes a serial port can give are told as what they are.
const char* socketWords(uint32_t err) {
    switch (int(err)) {
    case ECONNREFUSED: return "шлюз отказал в соединении";
    case ETIMEDOUT: return "шлюз не отвечает";
    case EHOSTUNREACH:
    case ENETUNREACH: return "шлюз недоступен по сети";
    case ECONNRESET:
    case ECONNABORTED: return "шлюз разорвал соединение";
    default: return nullptr;
    }
}

}  // namespace

std::string systemErrorText(DWORD err) {
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = FormatMessageW(flags, nullptr, err, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT),
                             reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    // A Windows without Russian messages: the user's own language.
    if (n == 0) n = FormatMessageW(flags, nullptr, err, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string s = n ? toUtf8(std::wstring_view(text, n)) : std::string();
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s;
}

// Windows' own text, in Russian where the system has it, after the
// operator's words where there are some; the code in brackets for whoever
// looks it up. Never a bare number: the drivers of USB adapters give codes
// no list here foresees.
std::string errorWords(uint32_t err) {
    if (const char* s = socketWords(err)) return s;
    const std::string code = "код " + std::to_string(err);
    const char* own = ownWords(err);
    const std::string system = systemErrorText(DWORD(err));
    if (own && !system.empty()) return std::string(own) + " [" + system + "; " + code + "]";
    if (own) return std::string(own) + " [" + code + "]";
    if (!system.empty()) return system + " [" + code + "]";
    return "системная ошибка без описания [" + code + "]";
}

}  // namespace lork
