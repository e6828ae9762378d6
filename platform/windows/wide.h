#pragma once
// UTF-8, which the program speaks, to and from the UTF-16 of Windows' wide APIs.
#include <windows.h>

#include <string>
#include <string_view>

namespace lork {

inline std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

inline std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// The system's text for a Win32 error code, in Russian where Windows has it,
// without the trailing line end and full stop; empty when it has none.
std::string systemErrorText(DWORD err);

}  // namespace lork
