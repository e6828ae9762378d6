#include "protocol/framing.h"

#include <algorithm>
#include <cstring>

namespace lork {

uint16_t CRC16(const uint8_t* frame, uint16_t n) {
    // The original routine works on a 64-byte copy, so it never covers more.
    n = std::clamp<uint16_t>(n, 1, 64);
    uint16_t crc = 0xFFFF;
    for (uint16_t i = 0; i < n; ++i) {
        crc ^= frame[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1u) ? uint16_t((crc >> 1) ^ 0xA001u) : uint16_t(crc >> 1);
    }
    return crc;
}

}  // namespace lork
