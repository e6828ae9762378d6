#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/files.h"
#include "platform/file_words.h"
#include "cli/options.h"

namespace lorkctl {

std::string channelFileErrorWords(int err) {
    // A channel (FIFO) has its own ways to fail; every other cause reads as
    // the program's other file failures do.
    const char* words = nullptr;
    switch (err) {
    case ENXIO: words = "у канала нет читателя"; break;
    case EAGAIN: words = "канал переполнен, его не читают"; break;
    case EPIPE: words = "читатель канала ушёл"; break;
    default: return lork::fileErrorText(err);
    }
    return std::string(words) + " [" + std::strerror(err) + "]";
}

std::string readTemplateFile(const std::string& path) {
    auto refuse = [&](const std::string& why) { return Exit{ST_USAGE, path + ": " + why}; };
    // Without waiting: a FIFO would block the open until someone writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw refuse(channelFileErrorWords(errno));
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        ::close(fd);
        throw refuse("не обычный файл: шаблон — файл JSON");
    }
    std::string text;
    char buf[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            throw refuse(channelFileErrorWords(err));
        }
        if (n == 0) break;
        text.append(buf, size_t(n));
        if (text.size() > kTemplateCap) {
            ::close(fd);
            throw refuse("больше " + std::to_string(kTemplateCap) + " байт: это не шаблон");
        }
    }
    ::close(fd);
    return text;
}

RecordFile::RecordFile(const std::string& path) : path_(path) {
    // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of
    // holding the open, and a full pipe fails the write instead of holding it.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd_ < 0) throw Exit{ST_RECORD, "--record " + path + ": не открыть: " + channelFileErrorWords(errno)};
}

RecordFile::~RecordFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::string RecordFile::appendAndClose(const std::string& line) {
    ssize_t n;
    do n = ::write(fd_, line.data(), line.size());
    while (n < 0 && errno == EINTR);
    int err = n < 0 ? errno : size_t(n) != line.size() ? ENOSPC : 0;
    if (::close(fd_) != 0 && err == 0) err = errno;
    fd_ = -1;
    return err ? channelFileErrorWords(err) : std::string();
}

}  // namespace lorkctl
