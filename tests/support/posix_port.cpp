#include "support/posix_port.h"

#include "platform/linux/termios_speed.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace lork::test {

using lork::speedOf;

uint32_t PosixPort::open(const std::string& name) {
    close();
    const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return uint32_t(errno);
    return 0;
}

void PosixPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

uint32_t PosixPort::configure(const LineConfig& cfg) {
    if (fd_ < 0) return EBADF;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return uint32_t(errno);
    const speed_t sp = speedOf(cfg.baud);
    if (sp == B0) return EINVAL;
    // Raw 8-bit line without flow control: all the protocol needs.
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~tcflag_t(CRTSCTS | CSIZE | PARENB | PARODD);
    t.c_cflag |= cfg.bytesize == 7 ? CS7 : CS8;
    // The program's parity codes: 1 even, 2 odd.
    if (cfg.parity == 2) t.c_cflag |= PARENB | PARODD;
    else if (cfg.parity == 1) t.c_cflag |= PARENB;
    LineConfig applied = cfg;
    if (cfg.stopbits == 2) t.c_cflag |= CSTOPB;
    else if (cfg.stopbits == 1) t.c_cflag &= ~tcflag_t(CSTOPB);
    else applied.stopbits = cfg_.stopbits;  // any other value keeps the port's
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetspeed(&t, sp);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) {
        const int err = errno;
        // The Linux pty driver drops PARENB, and glibc then reports EINVAL
        // although everything else was applied. A pseudo-terminal carries no
        // parity bit anyway, so accept the line when only that is missing.
        termios now{};
        const tcflag_t keep = CSIZE | CSTOPB | PARODD | CREAD;
        if (err != EINVAL || !isatty(fd_) || tcgetattr(fd_, &now) != 0 || cfgetospeed(&now) != sp ||
            (now.c_cflag & keep) != (t.c_cflag & keep) || (now.c_cflag & PARENB) == (t.c_cflag & PARENB))
            return uint32_t(err);
    }
    cfg_ = applied;
    return 0;
}

void PosixPort::purgeInput() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

uint32_t PosixPort::write(const uint8_t* data, size_t len) {
    if (fd_ < 0) return EBADF;
    size_t off = 0;
    while (off < len) {
        const ssize_t n = ::write(fd_, data + off, len - off);
        if (n > 0) {
            off += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return uint32_t(errno ? errno : EIO);
        }
    }
    return 0;
}

size_t PosixPort::readAvailable(uint8_t* buf, size_t max) {
    if (fd_ < 0 || max == 0) return 0;
    const ssize_t n = ::read(fd_, buf, max);
    return n > 0 ? size_t(n) : 0;
}

bool PosixPort::waitForReadyRead(int ms) {
    if (fd_ < 0) return false;
    pollfd p{fd_, POLLIN, 0};
    timespec to{ms / 1000, long(ms % 1000) * 1'000'000};
    int r;
    do r = ppoll(&p, 1, &to, nullptr);
    while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & POLLIN);
}

int64_t SteadyClock::nowUs() const {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

void SteadyClock::sleepMs(int ms) {
    if (ms <= 0) return;
    timespec ts{ms / 1000, long(ms % 1000) * 1'000'000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // namespace lork::test
