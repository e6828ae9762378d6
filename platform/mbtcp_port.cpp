#include "platform/mbtcp_port.h"

#include <algorithm>
#include <cerrno>

#include "platform/crc16.h"

namespace lork {

namespace {

// Exceptions only a gateway sends: no path to the unit, and the unit did not answer.
constexpr uint8_t kGatewayPath = 0x0A;
constexpr uint8_t kGatewayTarget = 0x0B;

}  // namespace

uint32_t MbtcpPort::write(const uint8_t* data, size_t len) {
    // An RTU frame: address, at least a function byte, CRC.
    if (len < 4 || len - 3 > kLengthMax - 1) return EINVAL;
    const size_t pdu = len - 3;
    ++tid_;
    std::vector<uint8_t> adu;
    adu.reserve(kHeader + pdu);
    const uint16_t length = uint16_t(pdu + 1);
    adu.insert(adu.end(), {uint8_t(tid_ >> 8), uint8_t(tid_ & 0xFF), 0, 0, uint8_t(length >> 8),
                           uint8_t(length & 0xFF), data[0]});
    adu.insert(adu.end(), data + 1, data + 1 + pdu);
    awaiting_ = true;
    gatewayException_ = 0;
    return TcpPort::write(adu.data(), adu.size());
}

void MbtcpPort::close() {
    TcpPort::close();
    // A frame half received belongs to the connection that carried it.
    frame_.clear();
    awaiting_ = false;
}

void MbtcpPort::takeIn(const uint8_t* raw, size_t n) {
    for (size_t i = 0; i < n;) {
        const size_t need = frame_.size() < kHeader ? kHeader : kHeader - 1 + size_t(frame_[4] << 8 | frame_[5]);
        const size_t k = std::min(need - frame_.size(), n - i);
        frame_.insert(frame_.end(), raw + i, raw + i + k);
        i += k;
        if (frame_.size() == kHeader) {
            const uint16_t length = uint16_t(frame_[4] << 8 | frame_[5]);
            if (frame_[2] != 0 || frame_[3] != 0 || length < 2 || length > kLengthMax) {
                frame_.clear();
                if (notice) notice("порт " + name() + ": шлюз прислал не Modbus TCP; соединение разорвано");
                lost(EPROTO);
                return;
            }
            continue;
        }
        if (frame_.size() < kHeader || frame_.size() < kHeader - 1 + size_t(frame_[4] << 8 | frame_[5])) continue;
        const uint16_t tid = uint16_t(frame_[0] << 8 | frame_[1]);
        if (!awaiting_ || tid != tid_) {
            ++stray_;
        } else {
            awaiting_ = false;
            // The unit and the PDU, as the instrument put them on the line.
            std::vector<uint8_t> rtu(frame_.begin() + 6, frame_.end());
            if (rtu.size() == 3 && (rtu[1] & 0x80) && (rtu[2] == kGatewayPath || rtu[2] == kGatewayTarget))
                gatewayException_ = rtu[2];
            const uint16_t c = crc16Modbus(rtu.data(), rtu.size());
            rtu.push_back(uint8_t(c & 0xFF));
            rtu.push_back(uint8_t(c >> 8));
            keep(rtu.data(), rtu.size());
        }
        frame_.clear();
    }
}

}  // namespace lork
