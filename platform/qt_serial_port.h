#pragma once
// The real serial port on QSerialPort, used in blocking style: no event loop
// is needed, bytes are pulled from the device inside readAvailable() and
// waitForReadyRead().
//
// Line set-up: raw 8-bit, no flow control, exclusive open. Parity codes keep
// the meaning the program's codes have always had on the wire: 0 none,
// 1 odd, 2 even (3 mark, 4 space); see LineConfig.
//
// Names: a name as the system lists it ("ttyUSB0", "COM3" on Windows) opens
// that device; an absolute path ("/dev/pts/4") opens as it is.
//
// On a pseudo-terminal the parity cannot be set (the kernel has no framing
// there); it is accepted and ignored, so a pty carries any line setting.
//
// Errors are errno-style codes: ENOENT no such port, EACCES no right to it,
// EBUSY in use, EBADF not open, EINVAL a setting the port refuses, EIO other.
#include <memory>

#include "platform/serial_port.h"

class QSerialPort;

namespace lork {

class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    uint32_t open(const std::string& name) override;
    void close() override;
    bool isOpen() const override;
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return cfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override;

    // The device path a name opens (for messages and tests).
    static std::string systemLocation(const std::string& name);

private:
    uint32_t lastError() const;
    std::unique_ptr<QSerialPort> port_;
    LineConfig cfg_;
    bool is_pty_ = false;
};

}  // namespace lork
