#include "platform/qt/port_list.h"

#include <windows.h>

#include "platform/port_order.h"
#include "platform/windows/wide.h"

namespace lork {

// The serial ports the drivers announced, as Windows keeps them: values of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM whose data are the names ("COM3").
std::vector<std::string> Read_port_list() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t value[256];
        wchar_t data[256];
        DWORD valueLen = DWORD(std::size(value));
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LSTATUS r = RegEnumValueW(key, i, value, &valueLen, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                        &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        std::wstring name(data, dataBytes / sizeof(wchar_t));
        while (!name.empty() && name.back() == L'\0') name.pop_back();
        if (!name.empty()) names.push_back(toUtf8(name));
    }
    RegCloseKey(key);
    return orderPortNames(names);
}

}  // namespace lork
