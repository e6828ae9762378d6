#pragma once
// What a serial port's failure means to the operator: the system's text for
// the error, the group whose members may use the device, the program that
// holds its lock file, and the USB latency timer that is too slow for a rate.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lork {

// A live program named by a serial tool's lock file LCK..NAME.
struct LockHolder {
    pid_t pid = 0;      // 0 when no live program holds a lock
    std::string file;   // the lock file that names it
};
LockHolder Find_lock_holder(const std::string& device_path, const std::vector<std::string>& lock_dirs);
// Our own lock file for device_path in the first folder that takes it
// (ten-digit PID and a newline, as serial tools write it); empty when none does.
std::string Create_lock_file(const std::string& device_path, const std::vector<std::string>& lock_dirs);

// True for the terminal side of a pseudo-terminal.
bool Is_pty_device(int fd);

struct FailureContext {
    pid_t lock_holder = 0;   // the program that holds the port, where known
    std::string lock_file;   // its lock file
    bool vanished = false;   // the device went away while open
};
// "порт PATH: <cause in words> [<system text>]" and, where it helps, what to do.
std::string Describe_port_failure(const std::string& path, uint32_t err, const FailureContext& ctx);

// The remark for a USB serial device whose latency timer (in sys_root's
// device folder) is longer than limit, the link's shortest read time-out at
// baud, ms; empty when there is no such timer, it is short enough or no
// limit is known (0).
std::string Latency_remark(const std::string& device_path, const std::string& sys_root, int32_t baud,
                           int32_t limit);

}  // namespace lork
