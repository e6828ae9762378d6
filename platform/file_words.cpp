#include <cerrno>
#include <cstring>

#include "platform/file_words.h"

namespace lork {

// errno values are the C library's on every system (the Windows file layer
// turns its own codes into them), so one table serves both.
std::string fileErrorWords(int err) {
    switch (err) {
    case ENOENT: return "нет такого файла или папки";
    case ENOTDIR: return "в пути файл там, где должна быть папка";
    case EISDIR: return "это папка, а не файл";
    case ENAMETOOLONG: return "слишком длинное имя файла или пути";
#ifdef ELOOP
    case ELOOP: return "символические ссылки ведут по кругу или слишком длинной цепочкой";
#endif
    case EACCES:
    case EPERM: return "нет доступа";
    case EROFS: return "диск только для чтения";
    case ENOSPC: return "нет места на диске";
#ifdef EDQUOT
    case EDQUOT: return "исчерпана дисковая квота";
#endif
#ifdef EOVERFLOW
    case EOVERFLOW:
#endif
    case EFBIG: return "файл слишком велик";
    case EEXIST: return "файл уже существует";
#ifdef ETXTBSY
    case ETXTBSY:
#endif
    case EBUSY: return "файл занят";
    case EIO: return "ошибка ввода-вывода";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case ENOMEM: return "не хватает памяти";
    case ENXIO:
    case ENODEV: return "нет такого устройства";
    // The program's own word for a name that is there but is no plain file
    // (a device, a channel): such a name cannot hold settings or records.
    case EINVAL: return "это не обычный файл";
    case EAGAIN: return "файл временно недоступен";
    case EINTR: return "прервано";
    default: return "системная ошибка " + std::to_string(err);
    }
}

std::string fileErrorText(int err) { return fileErrorWords(err) + " [" + std::strerror(err) + "]"; }

std::string fileError(const std::string& path, int err) { return path + ": " + fileErrorText(err); }

}  // namespace lork
