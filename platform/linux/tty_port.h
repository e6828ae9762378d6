#pragma once
// The real serial port on a Linux tty, straight on termios and poll.
//
// Why not QSerialPort: it keeps unwritten bytes and retries them from the
// event loop after the device has gone (a notifier firing in every pass),
// it cannot tell a held handle of a vanished device from a live one, and its
// waits have a millisecond grain. Here a write either completes or fails,
// a hang-up closes the port, and waits take microseconds.
//
// Names: a name without a slash is a device in /dev ("ttyUSB0"); a path
// opens as it is (a symbolic link to a pseudo-terminal, say).
//
// Line set-up: raw 8-bit, no flow control. Parity codes as the window names
// them: 0 none, 1 even, 2 odd. A pseudo-terminal carries no parity bit; the
// setting is accepted there and ignored.
//
// Exclusive: TIOCEXCL, an advisory lock on the device (flock), and the UUCP
// lock file LCK..NAME of serial tools (honoured when another program holds
// it, written for a real device when the lock folder lets us).
//
// Errors are errno values: ENOENT no such port, EACCES no right to it,
// EBUSY in use, EBADF not open, EINVAL a setting the port refuses, EIO and
// ENXIO/ENODEV the device went away.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/serial_port.h"

namespace lork {

class TtyPort : public SerialPort {
public:
    struct Options {
        // Where lock files of serial ports live (the first writable one gets ours).
        std::vector<std::string> lockDirs{"/run/lock", "/var/lock"};
        // The system's device folder (a test gives a folder of its own).
        std::string sysRoot = "/sys";
    };
    TtyPort();
    explicit TtyPort(Options options);
    ~TtyPort() override;
    TtyPort(const TtyPort&) = delete;
    TtyPort& operator=(const TtyPort&) = delete;

    uint32_t open(const std::string& name) override;
    uint32_t reopen(const std::string& name) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return cfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override;
    bool waitForReadyReadUs(int64_t us) override;
    uint32_t lastReadError() const override;
    std::string describeError(const std::string& name, uint32_t err) const override;

    // The device path a name opens.
    static std::string systemLocation(const std::string& name);

    // Where one-time remarks for the operator go (the information window).
    std::function<void(const std::string&)> notice;

private:
    bool heldDeviceAlive(const std::string& path) const;
    void lost(int err);
    bool waitFor(short events, int64_t timeoutUs);
    void lowLatency();

    Options opt_;
    int fd_ = -1;
    std::string path_;        // the path opened, empty when none
    dev_t rdev_ = 0;          // the device it named then
    bool isPty_ = false;
    std::string lockFile_;   // our lock file, empty when none
    uint32_t openError_ = 0; // why the last open failed, 0 when it worked
    uint32_t lostError_ = 0; // what closed the port under us, 0 when nothing did
    pid_t lockHolder_ = 0;   // the program named by another's lock file
    std::string lockSeen_;   // that lock file
    std::string latencyTold_; // device whose latency remark has been made
    LineConfig cfg_;
};

}  // namespace lork
