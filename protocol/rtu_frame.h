#pragma once
// Modbus RTU frames of any length a frame may carry (up to 256 bytes), for
// the power tools beside the instrument's fixed transactions, whose buffers
// hold 64 bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lork::rtu {

inline constexpr size_t maxFrame = 256;
inline constexpr uint16_t maxReadRegisters = 125;   // 250 data bytes
inline constexpr uint16_t maxReadBits = 2000;       // 250 data bytes
inline constexpr uint16_t maxWriteRegisters = 123;  // 246 data bytes plus the request's header
inline constexpr size_t shortestReply = 5;          // an exception: address, function, code, CRC

std::vector<uint8_t> readRequest(uint8_t adr, uint8_t func, uint16_t start, uint16_t count);
std::vector<uint8_t> writeRequest(uint8_t adr, uint16_t start, const std::vector<uint16_t>& values);

// The length of the whole reply to a request of func once its first n bytes
// tell it; 0 while they do not yet.
size_t replyLength(const uint8_t* p, size_t n, uint8_t func);

// What a reply to a request says. kod is in the result-code family of the
// fixed transactions (0 good, 6 CRC, 7 address, 8 format, 9 function,
// 11 no reply, 12 cut short, 13 and 14 a gateway that reached no instrument),
// or the exception code when exception is set. gatewayException is what the
// port says of the reply (SerialPort::gatewayException). A reply with a good
// CRC and another form than the request asks for (replyFormOk) is 8, as in
// the fixed transactions.
struct Check {
    uint8_t kod = 0;
    bool exception = false;
    bool ok() const { return kod == 0 && !exception; }
};
Check checkReply(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply,
                 uint8_t gatewayException = 0);

// The values of a good read reply: registers, or one 0/1 per bit asked.
std::vector<uint16_t> replyValues(const std::vector<uint8_t>& request, const std::vector<uint8_t>& reply);

// The result's text as the fixed transactions show it.
std::string checkText(const Check& c);

}  // namespace lork::rtu
