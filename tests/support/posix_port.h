#pragma once
// A serial port and a clock straight on POSIX (termios, poll), no toolkit:
// lets peer tests and benchmarks drive the core over a real tty path.
#include <string>

#include "platform/base/clock.h"
#include "platform/base/serial_port.h"

namespace lork::test {

class PosixPort : public SerialPort {
public:
    ~PosixPort() override { close(); }
    // A name without a slash is taken from /dev ("ttyUSB0").
    uint32_t open(const std::string& name) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return cfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override;

private:
    int fd_ = -1;
    LineConfig cfg_;
};

class SteadyClock : public Clock {
public:
    int64_t nowUs() const override;
    void sleepMs(int ms) override;
};

}  // namespace lork::test
