#include "platform/base/error_words.h"

// Winsock's header goes before windows.h, which would pull in the old one.
#include <winsock2.h>
#include <windows.h>

namespace lork {

std::string Error_words(uint32_t err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "нет такого порта";
    case ERROR_ACCESS_DENIED: return "порт занят другой программой или нет доступа";
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND: return "устройство пропало (отключено?)";
    case ERROR_INVALID_HANDLE: return "порт не открыт";
    case ERROR_INVALID_PARAMETER: return "неверные настройки порта";
    case WSAECONNREFUSED: return "шлюз отказал в соединении";
    case WSAETIMEDOUT: return "шлюз не отвечает";
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH: return "шлюз недоступен по сети";
    case WSAECONNRESET:
    case WSAECONNABORTED: return "шлюз разорвал соединение";
    default: return "системная ошибка " + std::to_string(err);
    }
}

}  // namespace lork
