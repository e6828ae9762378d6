#pragma once
// CRC-16/MODBUS: what every RTU frame ends with, low byte first. Here at the
// bottom because a Modbus TCP gateway's port puts it back on the frames it
// passes up, below the protocol that builds and checks them.
#include <cstddef>
#include <cstdint>

namespace lork {

inline uint16_t crc16Modbus(const uint8_t* p, size_t n) {
    uint16_t c = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int b = 0; b < 8; ++b) c = (c & 1u) ? uint16_t((c >> 1) ^ 0xA001u) : uint16_t(c >> 1);
    }
    return c;
}

}  // namespace lork
