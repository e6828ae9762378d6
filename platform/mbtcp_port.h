#pragma once
// "mbtcp://HOST[:PORT]" (502 when no port is given): a Modbus TCP gateway in
// front of an RS-485 line. Each RTU request written is sent as one MBAP
// frame (the unit identifier is the frame's address, the CRC stays here),
// and the reply whose transaction identifier is the request's comes back as
// the RTU frame the instrument sent: address, PDU and the CRC computed here.
// So the link, the exchange windows and the journal see a serial line.
//
// A reply with another transaction identifier (a late answer to an earlier
// request, a gateway's mistake) is dropped unread. A stream that is not MBAP
// (protocol identifier not 0, a length no frame has) cannot be resynchronised
// within itself: the connection is dropped, and the next exchange makes a new one.
#include <cstdint>
#include <vector>

#include "platform/tcp_port.h"

namespace lork {

class MbtcpPort : public TcpPort {
public:
    uint32_t write(const uint8_t* data, size_t len) override;
    void close() override;

    // The gateway's own exception to the last request, 0 when it sent none.
    uint8_t gatewayException() const override { return gatewayException_; }
    bool modbusTcp() const override { return true; }

    // Replies dropped for a transaction identifier other than the request's.
    uint64_t strayReplies() const { return stray_; }

    // The MBAP header: transaction, protocol, length (unit and PDU), unit.
    static constexpr size_t kHeader = 7;
    // The length field of the longest frame: the unit and 253 bytes of PDU.
    static constexpr uint16_t kLengthMax = 254;

protected:
    void takeIn(const uint8_t* raw, size_t n) override;

private:
    std::vector<uint8_t> frame_;  // the MBAP frame being received
    uint16_t tid_ = 0;            // transaction identifier of the last request
    bool awaiting_ = false;       // its reply has not come yet
    uint8_t gatewayException_ = 0;
    uint64_t stray_ = 0;
};

}  // namespace lork
