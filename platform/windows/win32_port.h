#pragma once
// The real serial port on Windows: a COM port opened by CreateFileW on
// "\\.\COMn", synchronous I/O only, the read time-outs kept by the driver
// in COMMTIMEOUTS.
//
// Waits and non-blocking reads are ReadFile calls too, each under its own
// COMMTIMEOUTS; the interval-and-multiplier-MAXDWORD form ("return at the
// first byte") and overlapped WaitCommEvent are avoided, as some drivers
// (and wine) do not keep to them.
//
// Errors are Win32 codes: ERROR_FILE_NOT_FOUND no such port,
// ERROR_ACCESS_DENIED in use. On an open port every failed call (ReadFile,
// WriteFile, ClearCommError, the state and time-out calls, PurgeComm) means
// the port is lost, whatever the code: USB adapters' drivers each give their
// own codes for a pulled plug (ERROR_BAD_COMMAND, ERROR_GEN_FAILURE,
// ERROR_NOT_READY, ERROR_INVALID_FUNCTION ...), and a handle that failed one
// call is not trusted with the next. The port is closed at once; the link
// opens it again for the next command.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "platform/base/serial_port.h"

namespace lork {

class Win32Port : public SerialPort {
public:
    Win32Port() = default;
    ~Win32Port() override;
    Win32Port(const Win32Port&) = delete;
    Win32Port& operator=(const Win32Port&) = delete;

    uint32_t open(const std::string& name) override;
    void close() override;
    bool isOpen() const override { return h_ != INVALID_HANDLE_VALUE; }
    uint32_t configure(const LineConfig& cfg) override;
    LineConfig config() const override { return cfg_; }
    void purgeInput() override;
    uint32_t write(const uint8_t* data, size_t len) override;
    size_t readAvailable(uint8_t* buf, size_t max) override;
    bool waitForReadyRead(int ms) override;
    uint32_t lastReadError() const override;
    bool readTimed(uint8_t* buf, size_t n, const PortTimeouts& t, size_t& got, uint32_t& err) override;
    std::string describeError(const std::string& name, uint32_t err) const override;

    // "COM5" -> "\\.\COM5"; a name that is already a device path stays.
    static std::string systemLocation(const std::string& name);

    std::function<void(const std::string&)> notice;

private:
    bool setTimeouts(DWORD interval, DWORD multiplier, DWORD constant);
    // One ReadFile under the time-outs in force; false when it failed (the port is then closed).
    bool readFile(uint8_t* buf, DWORD n, DWORD& got);
    void lost(DWORD err);
    // lost() with GetLastError(); returns the code kept.
    DWORD lostNow();

    HANDLE h_ = INVALID_HANDLE_VALUE;
    COMMTIMEOUTS to_{};         // what the driver holds now
    std::deque<uint8_t> rx_;    // a byte a wait took in and no read has had yet
    uint32_t openError_ = 0;
    uint32_t lostError_ = 0;
    uint32_t readError_ = 0;
    bool period_ = false;       // timeBeginPeriod(1) in force
    LineConfig cfg_;
};

}  // namespace lork
