#pragma once
// The serial port as the link sees it. The link itself implements the
// Win32-style read time-outs on top of readAvailable()/waitForReadyRead(), so
// the real port (QSerialPort) and the scripted FakePort only have to move bytes.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace lork {

// A port's five time-outs, ms, as Win32's COMMTIMEOUTS has them: the read
// interval, the read total's multiplier (per byte) and constant, the write
// total's multiplier and constant. The line settings carry them under these
// names; the link loads them into the port at every opening.
struct PortTimeouts {
    uint16_t RIT = 0;
    uint16_t RTTM = 0;
    uint16_t RTTC = 0;
    uint16_t WTTM = 0;
    uint16_t WTTC = 0;
};

struct LineConfig {
    int32_t baud = 9600;   // bit/s
    uint8_t bytesize = 8;  // data bits
    uint8_t parity = 0;    // program's parity code: 0 none, 1 even ("чёт"), 2 odd ("нечёт")
    uint8_t stopbits = 1;  // 1 or 2; any other value leaves the port's stop bits as they were
    // The link's single-byte read time-out at this rate, ms (0: none known); a
    // port whose own buffering delays bytes longer can say so.
    int32_t byteTimeoutMs = 0;
};

// A device that goes away while open (an adapter pulled, the other side of a
// pseudo-terminal closed, a connection lost) is closed by the port as soon as
// it notices: isOpen() turns false, reads find nothing and waits fail at once,
// writes return the error that ended it, and the next reopen() opens the
// name afresh. A read or wait on such a port is a failure, never "no bytes yet".
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the port by the program's name for it ("COM1", "ttyUSB0", "/dev/pts/3").
    // Returns 0 or a system error code (errno-style).
    virtual uint32_t open(const std::string& name) = 0;
    virtual void close() = 0;
    // Closes and opens the port again by name, as every set-up of the line
    // does. A port may do it cheaper when it already holds that device, as
    // long as the result is the same: open, nothing pending either way.
    virtual uint32_t reopen(const std::string& name) {
        close();
        return open(name);
    }
    virtual bool isOpen() const = 0;
    // Applies rate, data bits, parity and stop bits. 0 or a system error code.
    virtual uint32_t configure(const LineConfig& cfg) = 0;
    // The line settings currently in force (what configure() last applied).
    virtual LineConfig config() const = 0;
    // Discards everything received and not yet read.
    virtual void purgeInput() = 0;
    // Writes the whole buffer; 0 or a system error code.
    virtual uint32_t write(const uint8_t* data, size_t len) = 0;
    // Copies up to max received bytes without waiting; returns how many.
    virtual size_t readAvailable(uint8_t* buf, size_t max) = 0;
    // Waits up to ms milliseconds for at least one received byte.
    // Returns true as soon as a byte is available. On a closed port returns false at once.
    virtual bool waitForReadyRead(int ms) = 0;
    // The same with a deadline in microseconds; a port that waits only in
    // whole milliseconds rounds up, so the wait never ends early.
    virtual bool waitForReadyReadUs(int64_t us) {
        return waitForReadyRead(int(std::min<int64_t>((std::max<int64_t>(us, 0) + 999) / 1000, INT32_MAX)));
    }
    // One line for the operator: the port and, in words, why an operation
    // on it failed with err (the system's own text, and what to do where
    // that is known).
    virtual std::string describeError(const std::string& name, uint32_t err) const {
        return "порт " + name + ": " + std::strerror(int(err));
    }
    // A whole sentence for the operator when the port knows better than the
    // error code why it could not be opened (a name that can name no port);
    // empty otherwise.
    virtual std::string refusal() const { return {}; }
    // How the last readAvailable() or waitForReadyRead() ended: 0 when it
    // worked, a time-out included, else the system error code (a device that
    // went away, a closed port). A read that fails must not pass for an empty
    // one: the probe read tells the two apart.
    virtual uint32_t lastReadError() const { return isOpen() ? 0 : EBADF; }

    // A Modbus TCP gateway's own exception to the last request written
    // (0x0A: no path to the instrument, 0x0B: the instrument did not answer),
    // which reaches the reader as an exception frame; 0 for any other reply.
    virtual uint8_t gatewayException() const { return 0; }
    // Whether the line is reached through a Modbus TCP gateway.
    virtual bool modbusTcp() const { return false; }

    // A port whose system keeps the read time-outs itself reads up to n bytes
    // under t's read fields in one call and returns true, with got and err (0
    // or the system error code) set. False: the caller times the read on top
    // of readAvailable() and the waits.
    virtual bool readTimed(uint8_t* buf, size_t n, const PortTimeouts& t, size_t& got, uint32_t& err) {
        (void)buf, (void)n, (void)t, (void)got, (void)err;
        return false;
    }
};

}  // namespace lork
