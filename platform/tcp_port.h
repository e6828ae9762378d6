#pragma once
// A serial line behind an Ethernet device server: "tcp://HOST:PORT" passes
// the bytes both ways unchanged (RTU over TCP). The line's settings belong to
// the server; configure() only records them, and says once when a set-up
// asks for another rate than the line was first set up with.
//
// A refused or lost connection is a port failure like a vanished device:
// the port closes, writes return the error, reads fail, and the next set-up
// connects again. Errors are errno values (ECONNREFUSED, ECONNRESET,
// ETIMEDOUT, EHOSTUNREACH for a name that does not resolve).
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "platform/base/serial_port.h"
#include "platform/base/socket.h"

namespace lork {

// "tcp://HOST:PORT", "rfc2217://HOST:PORT" or "mbtcp://HOST[:PORT]" split
// into its parts. False unless there is a host and the port is a number
// 1..65535 (for mbtcp:// 502 when none is given).
struct GatewayAddress {
    std::string scheme;  // "tcp", "rfc2217" or "mbtcp"
    std::string host;    // name or address; an IPv6 address in brackets
    std::string port;    // service number
};
bool parseGateway(const std::string& name, GatewayAddress& out);

class TcpPort : public SerialPort {
public:
    TcpPort() = default;
    ~TcpPort() override;
    TcpPort(const TcpPort&) = delete;
    TcpPort& operator=(const TcpPort&) = delete;

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

    // Where one-time remarks for the operator go (the information window).
    std::function<void(const std::string&)> notice;

    // Line data held unread at most; what comes beyond is dropped and counted.
    static constexpr size_t kHeldMax = 64 * 1024;
    // Taken from the connection by one look at it at most, so that a server
    // that never stops sending cannot keep a read or a wait going.
    static constexpr size_t kLookMax = 4 * 1024;
    // A look that fills up means a flood: no reply or Telnet answer is that
    // long. Pausing before the next look lets the deadlines run out without
    // the processor spent on the flood (4 KiB per 5 ms is still many times
    // what any line behind a gateway carries).
    static constexpr int64_t kFloodPauseUs = 5'000;
    uint64_t droppedBytes() const { return dropped_; }

protected:
    // After the connection is made: a protocol's own greeting. 0 or an error.
    virtual uint32_t greet() { return 0; }
    // Bytes from the connection; the plain port takes them all as line data.
    virtual void takeIn(const uint8_t* raw, size_t n) { keep(raw, n); }
    // Holds line data for reading, up to kHeldMax.
    void keep(const uint8_t* data, size_t n);
    const std::string& name() const { return name_; }
    // Sends bytes as they are, whole, within the write deadline. 0 or an error.
    uint32_t sendRaw(const uint8_t* data, size_t len);
    // Reads what the connection has (waiting up to timeoutUs for the first
    // bytes when timeoutUs > 0) and hands it to takeIn(). False once closed.
    bool pump(int64_t timeoutUs);
    void lost(int err);
    // The error a failure report is about: on a closed port, what closed it.
    uint32_t causeOf(uint32_t err) const;

    std::deque<uint8_t> rx_;  // line data received and not yet read
    LineConfig cfg_;
    bool configured_ = false;  // whether configure() ran since the connection was made

private:
    net::Socket fd_ = net::kNoSocket;
    std::string name_;          // the name connected to
    uint32_t openError_ = 0;   // why the last connection failed
    std::string openDetail_;   // the resolver's text when the name did not resolve
    uint32_t lostError_ = 0;   // what ended the connection under us
    int32_t firstBaud_ = 0;    // the rate of the first set-up on this name
    bool rateTold_ = false;    // the fixed-rate remark has been made
    uint64_t dropped_ = 0;      // line data dropped over kHeldMax on this connection
};

}  // namespace lork
