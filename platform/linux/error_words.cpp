#include "platform/base/error_words.h"

#include <cerrno>

namespace lork {

std::string errorWords(uint32_t err) {
    switch (int(err)) {
    case ENOENT: return "нет такого устройства";
    case ENODEV:
    case ENXIO: return "устройство пропало (отключено?)";
    case EACCES:
    case EPERM: return "нет доступа";
    case EBUSY: return "порт занят другой программой";
    case EIO: return "ошибка ввода-вывода";
    case EBADF: return "порт не открыт";
    case ENOTTY: return "это не последовательный порт";
    case EISDIR: return "это папка, а не порт";
    case ECONNREFUSED: return "шлюз отказал в соединении";
    case ETIMEDOUT: return "шлюз не отвечает";
    case EHOSTUNREACH:
    case ENETUNREACH: return "шлюз недоступен по сети";
    case ECONNRESET:
    case EPIPE: return "шлюз разорвал соединение";
    case EINVAL: return "неверные настройки порта";
    // A port is named by a path too: its failures are a path's.
    case ENOTDIR: return "в пути файл там, где должна быть папка";
    case ENAMETOOLONG: return "слишком длинное имя порта";
    case ELOOP: return "символические ссылки ведут по кругу или слишком длинной цепочкой";
    case ENOMEM: return "не хватает памяти";
    default: return "системная ошибка " + std::to_string(err);
    }
}

}  // namespace lork
