#pragma once
// Wire timing of an RS-485 line as the simulator reproduces it: character
// time, the inter-frame silence that ends a request, and the start of a reply
// the master should find only on its second address search.
#include <cstdint>

#include "link/link.h"

namespace lork::sim {

// Start bit, 8 data bits, parity bit when used, stop bits.
inline int bitsPerChar(uint8_t parity, uint8_t stopbits) {
    return 1 + 8 + (parity != 0 ? 1 : 0) + (stopbits == 2 ? 2 : 1);
}

// One character on the wire, microseconds (rounded up).
inline int64_t charTimeUs(int32_t baud, uint8_t parity, uint8_t stopbits) {
    if (baud <= 0) return 0;
    const int64_t bits = bitsPerChar(parity, stopbits);
    return (bits * 1'000'000 + baud - 1) / baud;
}

// The silence that ends an RTU frame: 3.5 characters, fixed at 1.75 ms above
// 19200 bit/s as RTU slaves customarily do, so fast lines do not need
// sub-millisecond timers.
inline int64_t frameSilenceUs(int32_t baud, uint8_t parity, uint8_t stopbits) {
    if (baud > 19200) return 1750;
    return charTimeUs(baud, parity, stopbits) * 7 / 2;
}

// Offset from the end of a request at which a late reply starts: the master
// sleeps t_after, then makes three single-byte reads of 2*(t_after+t_before)
// ms each before its second search; starting half a read into that second
// search keeps the reply clear of both edges.
inline int64_t lateReplyStartUs(uint8_t scor_code) {
    const unsigned c = (scor_code >= 1 && scor_code <= 6) ? scor_code : 1;
    const int64_t readMs = 2 * (int64_t(t_after[c]) + t_before[c]);
    return (int64_t(t_after[c]) * 1000) + readMs * 3500;
}

}  // namespace lork::sim
