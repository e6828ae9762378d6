// Why the real port failed, in the information window beside the boxes:
// a missing device, one without permission, one held by another program,
// and a USB latency timer too slow for the rate.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/linux/port_failure.h"
#include "platform/linux/tty_port.h"
#include "device/device.h"
#include "support/fake_port.h"
#include "support/temp_dir.h"

using namespace lork;
using namespace lork::test;

namespace {

struct Pty {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    std::string slave;
    Pty() {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slave = ptsname(master);
    }
    ~Pty() { ::close(master); }
};

// The system's own text, kept in brackets after the words.
std::string sys_text(int e) { return std::string(" [") + std::strerror(e) + "]"; }

// What an open of path says when tried by an unprivileged user: the text
// comes back through a pipe from a child that gave up root.
std::string describe_as_nobody(const std::string& path) {
    int p[2];
    if (pipe(p) != 0) return "pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(p[0]);
        if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
        TtyPort port;
        const uint32_t e = port.open(path);
        const std::string text = std::to_string(e) + " " + port.describeError(path, e);
        (void)!::write(p[1], text.data(), text.size());
        _exit(0);
    }
    ::close(p[1]);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    ::close(p[0]);
    waitpid(pid, nullptr, 0);
    return out;
}

}  // namespace

TEST(PortFailure, MissingDeviceNamesThePortAndTheCauseBesideEachBox) {
    TtyPort port;
    VirtualClock clock;
    RecordingHost host;
    Core core(port, clock, host);
    core.st.ls.port_name = "/dev/lork-no-such-port";
    core.link.Port_setup(2);
    const std::string cause = "порт /dev/lork-no-such-port: нет такого устройства" + sys_text(ENOENT);
    const std::string words = "\nПорт /dev/lork-no-such-port не открыть: нет такого устройства";
    EXPECT_EQ(host.messages, std::vector<std::string>{"ошибка настройки порта" + words});
    EXPECT_EQ(host.info_lines, std::vector<std::string>{cause});
    // The write on the port that never opened gives its box and the same cause.
    core.dev.Read_adr();
    EXPECT_EQ(host.messages.back(), "ошибка при передаче= " + std::to_string(EBADF) + words);
    EXPECT_EQ(host.info_lines, (std::vector<std::string>{cause, cause}));
}

TEST(PortFailure, PermissionRefusalNamesTheGroupToJoin) {
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    const group* dialout = getgrnam("dialout");
    if (getuid() == 0) {
        if (!dialout) GTEST_SKIP() << "no group dialout";
        ASSERT_EQ(chown(pty.slave.c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(chmod(pty.slave.c_str(), 0660), 0);
    } else {
        ASSERT_EQ(chmod(pty.slave.c_str(), 0), 0);
    }
    const std::string group = getuid() == 0 ? "dialout" : "tty";
    EXPECT_EQ(describe_as_nobody(pty.slave), std::to_string(EACCES) + " порт " + pty.slave + ": нет доступа" +
                                                 sys_text(EACCES) + "; нужно членство в группе " + group +
                                                 " (sudo usermod -aG " + group +
                                                 " $USER, затем войти в систему заново)");
}

TEST(PortFailure, BusyPortNamesTheHolderWhereItsLockFileDoes) {
    Pty pty;
    TempDir locks;
    TtyPort::Options opt;
    opt.lockDirs = {locks.path()};
    TtyPort first(opt), second(opt);
    ASSERT_EQ(first.open(pty.slave), 0u);
    ASSERT_EQ(second.open(pty.slave), uint32_t(EBUSY));
    EXPECT_EQ(second.describeError(pty.slave, EBUSY),
              "порт " + pty.slave + ": порт занят другой программой" + sys_text(EBUSY));
    first.close();

    // Another serial tool's lock file, naming a program that runs.
    const pid_t holder = fork();
    if (holder == 0) {
        pause();
        _exit(0);
    }
    const std::string lock = locks / ("LCK.." + pty.slave.substr(pty.slave.rfind('/') + 1));
    write_bytes(lock, "     " + std::to_string(holder) + "\n");
    EXPECT_EQ(second.open(pty.slave), uint32_t(EBUSY));
    EXPECT_EQ(second.describeError(pty.slave, EBADF), "порт " + pty.slave + ": порт занят программой с PID " +
                                                          std::to_string(holder) + " (" + lock + ")" +
                                                          sys_text(EBUSY));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    // A lock whose program has ended holds nothing.
    EXPECT_EQ(second.open(pty.slave), 0u);
}

TEST(PortFailure, VanishedDeviceSaysSo) {
    auto pty = std::make_unique<Pty>();
    TtyPort port;
    ASSERT_EQ(port.open(pty->slave), 0u);
    const std::string path = pty->slave;
    pty.reset();
    const uint8_t b = 1;
    const uint32_t e = port.write(&b, 1);
    EXPECT_NE(e, 0u);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.waitForReadyRead(1000));  // at once, not after the time-out
    EXPECT_EQ(port.write(&b, 1), e);
    EXPECT_EQ(port.describeError(path, e), "порт " + path + ": устройство пропало (отключено?)" + sys_text(int(e)));
}

TEST(PortFailure, UsbLatencyTimerTooSlowForTheRateIsNamed) {
    TempDir sys;
    std::filesystem::create_directories(sys / "bus/usb-serial/devices/ttyUSB0");
    const std::string timer = sys / "bus/usb-serial/devices/ttyUSB0/latency_timer";
    write_bytes(timer, "16\n");
    EXPECT_EQ(latencyRemark("/dev/ttyUSB0", sys.path(), 115200, 4),
              "порт /dev/ttyUSB0: таймер задержки USB 16 мс, а ответ на 115200 бит/с ждут 4 мс; уменьшить: "
              "echo 1 | sudo tee " + timer);
    EXPECT_EQ(latencyRemark("/dev/ttyUSB0", sys.path(), 9600, 36), "");
    write_bytes(timer, "1\n");
    EXPECT_EQ(latencyRemark("/dev/ttyUSB0", sys.path(), 115200, 4), "");
    EXPECT_EQ(latencyRemark("/dev/ttyS0", sys.path(), 115200, 4), "");  // no such timer

    // A pseudo-terminal is left alone, whatever the folder says.
    Pty pty;
    const std::string name = pty.slave.substr(pty.slave.rfind('/') + 1);
    std::filesystem::create_directories(sys / ("bus/usb-serial/devices/" + name));
    write_bytes(sys / ("bus/usb-serial/devices/" + name + "/latency_timer"), "16\n");
    TtyPort::Options opt;
    opt.sysRoot = sys.path();
    TtyPort port(opt);
    std::vector<std::string> remarks;
    port.notice = [&](const std::string& r) { remarks.push_back(r); };
    ASSERT_EQ(port.open(pty.slave), 0u);
    ASSERT_EQ(port.configure({115200, 8, 0, 1, 4}), 0u);
    EXPECT_TRUE(remarks.empty());
}
