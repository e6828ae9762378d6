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
LockHolder findLockHolder(const std::string& devicePath, const std::vector<std::string>& lockDirs);
// Our own lock file for devicePath in the first folder that takes it
// (ten-digit PID and a newline, as serial tools write it); empty when none does.
std::string createLockFile(const std::string& devicePath, const std::vector<std::string>& lockDirs);

// True for the terminal side of a pseudo-terminal.
bool isPtyDevice(int fd);

struct FailureContext {
    pid_t lockHolder = 0;   // the program that holds the port, where known
    std::string lockFile;   // its lock file
    bool vanished = false;   // the device went away while open
};
// "порт PATH: <cause in words> [<system text>]" and, where it helps, what to do.
std::string describePortFailure(const std::string& path, uint32_t err, const FailureContext& ctx);

// The remark for a USB serial device whose latency timer (in sysRoot's
// device folder) is longer than limit, the link's shortest read time-out at
// baud, ms; empty when there is no such timer, it is short enough or no
// limit is known (0).
std::string latencyRemark(const std::string& devicePath, const std::string& sysRoot, int32_t baud,
                           int32_t limit);

}  // namespace lork
