#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "cli/files.h"
#include "platform/file_words.h"
#include "cli/options.h"

namespace lorkctl {

namespace {
std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
    w.resize(w.size() - 1);
    return w;
}
}  // namespace

std::string channelFileErrorWords(int err) {
    // A channel (FIFO) has its own ways to fail; every other cause reads as
    // the program's other file failures do.
    const char* words = nullptr;
    switch (err) {
    case EPIPE: words = "читатель канала ушёл"; break;
    default: return lork::fileErrorText(err);
    }
    return std::string(words) + " [" + std::strerror(err) + "]";
}

std::string readTemplateFile(const std::string& path) {
    auto refuse = [&](const std::string& why) { return Exit{ST_USAGE, path + ": " + why}; };
    const int fd = _wopen(wide(path).c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) throw refuse(channelFileErrorWords(errno));
    struct _stat64 sb {};
    // A device (CON, NUL, a COM port) or a pipe is no template.
    if (_fstat64(fd, &sb) != 0 || !(sb.st_mode & _S_IFREG) || GetFileType(HANDLE(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        _close(fd);
        throw refuse("не обычный файл: шаблон — файл JSON");
    }
    std::string text;
    char buf[1024];
    for (;;) {
        const int n = _read(fd, buf, sizeof buf);
        if (n < 0) {
            const int err = errno;
            _close(fd);
            throw refuse(channelFileErrorWords(err));
        }
        if (n == 0) break;
        text.append(buf, size_t(n));
        if (text.size() > kTemplateCap) {
            _close(fd);
            throw refuse("больше " + std::to_string(kTemplateCap) + " байт: это не шаблон");
        }
    }
    _close(fd);
    return text;
}

RecordFile::RecordFile(const std::string& path) : path_(path) {
    fd_ = _wopen(wide(path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd_ < 0) throw Exit{ST_RECORD, "--record " + path + ": не открыть: " + channelFileErrorWords(errno)};
}

RecordFile::~RecordFile() {
    if (fd_ >= 0) _close(fd_);
}

std::string RecordFile::appendAndClose(const std::string& line) {
    const int n = _write(fd_, line.data(), unsigned(line.size()));
    int err = n < 0 ? errno : size_t(n) != line.size() ? ENOSPC : 0;
    if (_close(fd_) != 0 && err == 0) err = errno;
    fd_ = -1;
    return err ? channelFileErrorWords(err) : std::string();
}

}  // namespace lorkctl
