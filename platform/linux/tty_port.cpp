#include "platform/linux/tty_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/deadline_wait.h"
#include "platform/linux/port_failure.h"
#include "platform/linux/termios_speed.h"

namespace lork {

namespace {

// A frame is at most 64 bytes, so a write that has not drained by then is a
// stuck line rather than a slow one.
constexpr int64_t kWriteDrainUs = 2'000'000;

bool vanishedErrno(int e) { return e == EIO || e == ENXIO || e == ENODEV || e == EPIPE; }

}  // namespace

TtyPort::TtyPort() : TtyPort(Options{}) {}
TtyPort::TtyPort(Options options) : opt_(std::move(options)) {}
TtyPort::~TtyPort() { close(); }

std::string TtyPort::systemLocation(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    return "/dev/" + name;
}

uint32_t TtyPort::open(const std::string& name) {
    close();
    lostError_ = 0;
    lockHolder_ = 0;
    lockSeen_.clear();
    const std::string path = systemLocation(name);
    auto fail = [&](int e) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        openError_ = uint32_t(e);
        return openError_;
    };
    // Another serial tool's lock file: the port is in use even where that
    // tool did not ask for exclusive access.
    const LockHolder holder = findLockHolder(path, opt_.lockDirs);
    if (holder.pid > 0 && holder.pid != getpid()) {
        lockHolder_ = holder.pid;
        lockSeen_ = holder.file;
        return fail(EBUSY);
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return fail(errno);
    struct stat st {};
    if (fstat(fd_, &st) != 0) return fail(errno);
    if (!isatty(fd_)) return fail(ENOTTY);
    // Root passes TIOCEXCL; the advisory lock holds for every opener that asks.
    if (ioctl(fd_, TIOCEXCL) != 0 && errno == EBUSY) return fail(EBUSY);
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    rdev_ = st.st_rdev;
    isPty_ = isPtyDevice(fd_);
    // Pseudo-terminals are not shared devices; their numbers say nothing to
    // other serial tools.
    if (!isPty_) lockFile_ = createLockFile(path, opt_.lockDirs);
    path_ = path;
    openError_ = 0;
    return 0;
}

bool TtyPort::heldDeviceAlive(const std::string& path) const {
    if (fd_ < 0 || path != path_) return false;
    // The same path may name another device by now (an adapter plugged in
    // again, a new pseudo-terminal behind the link).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode) || st.st_rdev != rdev_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

uint32_t TtyPort::reopen(const std::string& name) {
    // The link re-opens the port before every probe (twelve times per address
    // in a full sweep); a real opening costs milliseconds (lock file,
    // attributes). The device already held, still there and still the one
    // the name gives, is as good as a fresh opening once nothing is pending.
    if (heldDeviceAlive(systemLocation(name))) {
        tcflush(fd_, TCIOFLUSH);
        return 0;
    }
    return open(name);
}

void TtyPort::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!lockFile_.empty()) {
        ::unlink(lockFile_.c_str());
        lockFile_.clear();
    }
    path_.clear();
}

void TtyPort::lost(int err) {
    close();
    lostError_ = uint32_t(err);
}

uint32_t TtyPort::configure(const LineConfig& cfg) {
    if (fd_ < 0) return lostError_ ? lostError_ : EBADF;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        const int e = errno;
        if (vanishedErrno(e)) lost(e);
        return uint32_t(e);
    }
    const speed_t sp = speedOf(cfg.baud);
    if (sp == B0 || cfg.bytesize < 5 || cfg.bytesize > 8 || cfg.parity > 2) return EINVAL;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~tcflag_t(CRTSCTS | CSIZE | PARENB | PARODD);
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[cfg.bytesize - 5];
    // The window lists code 1 as "чёт" and code 2 as "нечёт", and the
    // instrument's parity register uses the same codes, so the line follows
    // the names the operator sees.
    if (cfg.parity == 1) t.c_cflag |= PARENB;
    if (cfg.parity == 2) t.c_cflag |= PARENB | PARODD;
    LineConfig applied = cfg;
    if (cfg.stopbits == 2) t.c_cflag |= CSTOPB;
    else if (cfg.stopbits == 1) t.c_cflag &= ~tcflag_t(CSTOPB);
    else applied.stopbits = cfg_.stopbits;  // other counts leave the port as it was
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetspeed(&t, sp);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) {
        const int e = errno;
        // The pty driver drops PARENB and glibc then reports EINVAL although
        // everything else was applied; such a line carries no parity bit.
        termios now{};
        const tcflag_t keep = CSIZE | CSTOPB | PARODD | CREAD;
        const bool onlyParity = e == EINVAL && isPty_ && tcgetattr(fd_, &now) == 0 &&
                                 cfgetospeed(&now) == sp && (now.c_cflag & keep) == (t.c_cflag & keep);
        if (!onlyParity) {
            if (vanishedErrno(e)) lost(e);
            return uint32_t(e);
        }
    }
    cfg_ = applied;
    lowLatency();
    return 0;
}

void TtyPort::lowLatency() {
    if (isPty_) return;
    serial_struct ss{};
    if (ioctl(fd_, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
        ss.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd_, TIOCSSERIAL, &ss);  // a driver without the mode refuses: nothing to do
    }
    const auto remark = latencyRemark(path_, opt_.sysRoot, cfg_.baud, cfg_.byteTimeoutMs);
    if (remark.empty() || latencyTold_ == path_) return;
    latencyTold_ = path_;
    if (notice) notice(remark);
}

void TtyPort::purgeInput() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

bool TtyPort::waitFor(short events, int64_t timeoutUs) {
    const int64_t end = monotonicUs() + timeoutUs;
    for (;;) {
        pollfd p{fd_, events, 0};
        const int r = pollUntil(p, end);
        if (r < 0) {
            lost(errno);
            return false;
        }
        if (p.revents & events) return true;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            lost(EIO);
            return false;
        }
        if (r == 0) return false;
    }
}

uint32_t TtyPort::write(const uint8_t* data, size_t len) {
    if (fd_ < 0) return lostError_ ? lostError_ : EBADF;
    const int64_t end = monotonicUs() + kWriteDrainUs;
    size_t off = 0;
    while (off < len) {
        const ssize_t n = ::write(fd_, data + off, len - off);
        if (n > 0) {
            off += size_t(n);
            continue;
        }
        const int e = n < 0 ? errno : EIO;
        if (e == EINTR) continue;
        if (e != EAGAIN) {
            lost(e);
            return uint32_t(e);
        }
        const int64_t left = end - monotonicUs();
        if (left <= 0) return ETIMEDOUT;
        if (!waitFor(POLLOUT, left) && fd_ < 0) return lostError_;
    }
    return 0;
}

size_t TtyPort::readAvailable(uint8_t* buf, size_t max) {
    if (fd_ < 0 || max == 0) return 0;
    const ssize_t n = ::read(fd_, buf, max);
    if (n > 0) return size_t(n);
    if (n < 0 && vanishedErrno(errno)) lost(errno);
    return 0;
}

bool TtyPort::waitForReadyRead(int ms) { return waitForReadyReadUs(int64_t(ms) * 1000); }

bool TtyPort::waitForReadyReadUs(int64_t us) {
    if (fd_ < 0) return false;
    return waitFor(POLLIN, std::max<int64_t>(us, 0));
}

uint32_t TtyPort::lastReadError() const {
    if (fd_ >= 0) return 0;
    return lostError_ ? lostError_ : EBADF;
}

std::string TtyPort::describeError(const std::string& name, uint32_t err) const {
    const std::string path = systemLocation(name);
    if (fd_ < 0 && err == EBADF && openError_ != 0) err = openError_;
    if (fd_ < 0 && err == EBADF && lostError_ != 0) err = lostError_;
    FailureContext ctx;
    ctx.lockHolder = lockHolder_;
    ctx.lockFile = lockSeen_;
    ctx.vanished = lostError_ != 0 && err == lostError_;
    return describePortFailure(path, err, ctx);
}

}  // namespace lork
